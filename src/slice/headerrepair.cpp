#include "slice/headerrepair.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

using namespace Qt::StringLiterals;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HeaderRepair", text);
}

// Copies from into an already open to; false on any short read or write.
bool copyContents(QFile &from, QFile &to)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (to.write(buffer.constData(), got) != got)
            return false;
    }
}

} // namespace

HeaderRepair::HeaderRepair(FeedBackInterface &feedBack)
    : m_feedBack(feedBack)
{
}

bool HeaderRepair::run(const QString &path, const RepairSettings &settings, QString *reason)
{
    if (path.isEmpty())
        return true;

    QTemporaryFile copy(QDir::tempPath() + u'/' + QFileInfo(path).completeBaseName()
                        + u"-XXXXXX.tmp"_s);
    QFile track(path);
    if (!copy.open() || !track.open(QIODevice::ReadOnly) || !copyContents(track, copy)
        || !copy.flush()) {
        // Nothing was changed: the track stays as written, only without a new header.
        *reason = tr("Cannot make a temporary copy for the header repair: %1")
                      .arg(copy.errorString());
        return false;
    }
    track.close();
    copy.close();

    VbrRepairer repairer(m_feedBack, settings);
    repairer.fix(QFile::encodeName(copy.fileName()).toStdString(),
                 QFile::encodeName(path).toStdString());

    const int state = repairer.state();
    if ((state == VbrRepairer::Failed || state == VbrRepairer::Stopped)
        && repairer.outputTouched()) {
        if (!copy.open() || !track.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || !copyContents(copy, track) || !track.flush()) {
            copy.setAutoRemove(false);
            *reason = tr("The header repair failed and the track could not be restored; "
                         "it is kept in %1").arg(copy.fileName());
            return false;
        }
    }
    return true;
}
