#include "slice/durablefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

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

QFileDevice::Permissions DurableFile::newFilePermissions()
{
    // The umask cannot be read without setting it, which races with other threads; the
    // kernel shows it in /proc.
    static const QFileDevice::Permissions permissions = [] {
        unsigned mask = 022;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:"))
                    mask = line.mid(6).trimmed().toUInt(nullptr, 8);
            }
        }
        const unsigned mode = 0666u & ~mask;
        QFileDevice::Permissions result;
        const std::pair<unsigned, QFileDevice::Permission> bits[] = {
            {0400, QFileDevice::ReadOwner}, {0200, QFileDevice::WriteOwner},
            {0040, QFileDevice::ReadGroup}, {0020, QFileDevice::WriteGroup},
            {0004, QFileDevice::ReadOther}, {0002, QFileDevice::WriteOther}};
        for (const auto &[bit, permission] : bits) {
            if (mode & bit)
                result |= permission;
        }
        // Qt reports the owner's bits also as the user's.
        if (mode & 0400)
            result |= QFileDevice::ReadUser;
        if (mode & 0200)
            result |= QFileDevice::WriteUser;
        return result;
    }();
    return permissions;
}

void DurableFile::startFlush(QFileDevice &file)
{
    if (file.handle() >= 0)
        ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool DurableFile::flush(const QString &path, QString *error)
{
    if (syncPath(path, O_RDONLY))
        return true;
    return fail(
        error,
        tr("Cannot flush %1 to disk: %2").arg(QDir::toNativeSeparators(path), systemReason(errno)));
}

bool DurableFile::replace(const QString &from, const QString &to, QString *error)
{
    const QString reason = replaceAll({{from, to}}).constFirst();
    return reason.isEmpty() || fail(error, reason);
}

QStringList DurableFile::replaceAll(const QList<std::pair<QString, QString>> &moves)
{
    QStringList errors(moves.size());
    for (qsizetype i = 0; i < moves.size(); ++i)
        flush(moves[i].first, &errors[i]);
    QStringList folders;
    for (qsizetype i = 0; i < moves.size(); ++i) {
        if (!errors[i].isEmpty())
            continue;
        const auto &[from, to] = moves[i];
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
            errors[i] = tr("Cannot rename %1 to %2: %3")
                            .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to),
                                 systemReason(errno));
            continue;
        }
        const QString folder = QFileInfo(to).absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    // The new name itself lives in the folder; some file systems need the folder flushed.
    for (const QString &folder : std::as_const(folders))
        syncPath(folder, O_RDONLY | O_DIRECTORY);
    return errors;
}
