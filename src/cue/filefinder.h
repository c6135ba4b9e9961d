#pragma once

#include <QDirIterator>
#include <QString>
#include <QStringList>

#include <memory>

class IContinueListener;

// Lists the regular files of one folder (and its subfolders when recursive) whose suffix is in
// a set, compared exactly. Symbolic links are skipped. One walk uses the listing up; set the
// directory again for the next. Not thread-bound; the continue listener is not owned.
class FileFinder
{
public:
    using FileList = QStringList;

    FileFinder(const QString &directory, bool recursive, bool acceptAll);
    ~FileFinder();

    void setDirectory(const QString &directory);
    QString directory() const { return m_directory; }

    void addSuffix(const QString &suffix);
    QStringList suffixes() const { return m_suffixes; }

    void setContinueListener(IContinueListener *listener) { m_continueListener = listener; }

    // Appends the canonical path of every accepted file, in listing order.
    void find(FileList &files);

    // Makes FileFinder::FileList known by that name to queued connections. Safe to repeat.
    static void registerMetaType();

private:
    QString m_directory;
    bool m_recursive;
    bool m_acceptAll;
    QStringList m_suffixes;
    std::unique_ptr<QDirIterator> m_iterator;
    IContinueListener *m_continueListener = nullptr;
};
