#include "slice/durablefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <QFileDevice>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DurableFile", text);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced;
}

} // namespace

void DurableFile::startFlush(QFileDevice &file)
{
    if (file.handle() >= 0)
        ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool DurableFile::flush(const QString &path, QString *error)
{
    if (syncPath(path, O_RDONLY))
        return true;
    return fail(error, tr("Cannot flush %1 to disk: %2")
                           .arg(QDir::toNativeSeparators(path), systemReason(errno)));
}

bool DurableFile::replace(const QString &from, const QString &to, QString *error)
{
    if (!flush(from, error))
        return false;
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(error, tr("Cannot rename %1 to %2: %3")
                               .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to),
                                    systemReason(errno)));
    // The new name itself lives in the folder; some file systems need the folder flushed.
    syncPath(QFileInfo(to).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}
