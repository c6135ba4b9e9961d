#include "cue/filefinder.h"

#include <QFileInfo>
#include <QMetaType>

#include "threads/icontinuelistener.h"

FileFinder::FileFinder(const QString &directory, bool recursive, bool acceptAll)
    : m_recursive(recursive)
    , m_acceptAll(acceptAll)
{
    setDirectory(directory);
}

FileFinder::~FileFinder() = default;

void FileFinder::setDirectory(const QString &directory)
{
    m_directory = directory;
    if (directory.isEmpty())
        return;
    m_iterator = std::make_unique<QDirIterator>(directory, QDir::Files | QDir::NoSymLinks,
                                                m_recursive ? QDirIterator::Subdirectories
                                                            : QDirIterator::NoIteratorFlags);
}

void FileFinder::addSuffix(const QString &suffix)
{
    if (!m_suffixes.contains(suffix))
        m_suffixes.append(suffix);
}

void FileFinder::find(FileList &files)
{
    while (m_iterator && m_iterator->hasNext()) {
        if (m_continueListener && !m_continueListener->shouldContinue())
            return;
        m_iterator->next();
        const QFileInfo info = m_iterator->fileInfo();
        if (!info.isFile() || info.isSymLink())
            continue;
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty())
            continue; // gone since the listing was read
        if (!m_acceptAll && !m_suffixes.contains(info.suffix()))
            continue;
        files.append(canonical);
    }
}

void FileFinder::registerMetaType()
{
    qRegisterMetaType<FileList>("FileFinder::FileList");
}
