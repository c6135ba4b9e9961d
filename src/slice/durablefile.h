#pragma once

#include <QFileDevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// Puts a completely written file under its final name so that a crash or power cut at any
// moment leaves either the old file or the new one: the data is flushed to disk first, then
// rename(2) replaces the target in one step, then the folder entry is flushed.
class DurableFile
{
public:
    // What a newly created file gets (0666 less the umask): a temporary file is created
    // private, but the file it becomes must not be.
    static QFileDevice::Permissions newFilePermissions();
    // Starts writing the open file's data to disk without waiting, so that the flush before
    // the rename finds most of it written while other work went on.
    static void startFlush(QFileDevice &file);
    // Flushes the file's data to disk. False with the system's reason on failure.
    static bool flush(const QString &path, QString *error);
    // Flushes `from`, renames it over `to` (replacing a file there) and flushes the folder.
    // False with the system's reason on failure; `from` is then left as it was.
    static bool replace(const QString &from, const QString &to, QString *error);
    // replace() for several files at once: every file is flushed, then each takes its name,
    // then each folder is flushed once, so that one folder flush covers them all. One error
    // per pair, empty where the file took its name.
    static QStringList replaceAll(const QList<std::pair<QString, QString>> &moves);
};
