#include "cue/cuefinderthreadobject.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

CueFinderThreadObject::CueFinderThreadObject(QObject *parent)
    : IThreadObject(parent)
    , m_finder(QString(), false, false)
{
    FileFinder::registerMetaType();
    m_finder.setContinueListener(this);
    m_finder.addSuffix(u"cue"_s);
}

void CueFinderThreadObject::setPath(const QString &path)
{
    m_path = path;
    if (!path.isEmpty())
        m_finder.setDirectory(QFileInfo(path).absolutePath());
}

void CueFinderThreadObject::start()
{
    const QString baseName = QFileInfo(m_path).completeBaseName();
    FileFinder::FileList files;
    m_finder.find(files);
    if (!files.isEmpty()) {
        for (qsizetype i = 0; i < files.size() && shouldContinue(); ++i) {
            if (QFileInfo(files.at(i)).completeBaseName() == baseName) {
                const QString match = files.at(i);
                files = FileFinder::FileList{match};
                break;
            }
        }
        if (shouldContinue())
            emit readyCueFiles(files);
    }
    m_path.clear();
    emit finished();
}
