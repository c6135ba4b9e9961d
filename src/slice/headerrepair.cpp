#include "slice/headerrepair.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "slice/durablefile.h"
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HeaderRepair", text);
}

// Passes everything on and keeps the last Error text for the caller's message.
class ErrorKeeper final : public FeedBackInterface
{
public:
    explicit ErrorKeeper(FeedBackInterface &next)
        : m_next(next)
    {
    }
    void progress() override { m_next.progress(); }
    void message(FeedBackMessage message) override
    {
        if (message.level == Error)
            lastError = message.text;
        m_next.message(std::move(message));
    }
    bool shouldStop() override { return m_next.shouldStop(); }

    std::string lastError;

private:
    FeedBackInterface &m_next;
};

} // namespace

HeaderRepair::HeaderRepair(FeedBackInterface &feedBack)
    : m_feedBack(feedBack)
{
}

bool HeaderRepair::run(const QString &path, const QString &temporaryTemplate,
                       const RepairSettings &settings, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QTemporaryFile repaired(temporaryTemplate);
    if (!repaired.open() || !repaired.setPermissions(DurableFile::newFilePermissions()))
        return fail(tr("Cannot create a file for the header repair in %1: %2")
                        .arg(QDir::toNativeSeparators(QFileInfo(temporaryTemplate).path()),
                             repaired.errorString()));
    repaired.close();

    ErrorKeeper feedBack(m_feedBack);
    VbrRepairer repairer(feedBack, settings);
    repairer.fix(QFile::encodeName(path).toStdString(),
                 QFile::encodeName(repaired.fileName()).toStdString());
    switch (repairer.state()) {
    case VbrRepairer::Fixed:
        break;
    case VbrRepairer::Failed:
        return fail(tr("The VBR header could not be rebuilt: %1")
                        .arg(QString::fromStdString(feedBack.lastError)));
    default:
        // Skipped (already right, or nothing to rebuild) or stopped: the track stays.
        return true;
    }
    QString reason;
    if (!DurableFile::replace(repaired.fileName(), path, &reason))
        return fail(reason);
    repaired.setAutoRemove(false);
    return true;
}
