#include "repairjob.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>

#include "slice/durablefile.h"
#include "terminaltext.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

using namespace Qt::StringLiterals;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onRepairSignal(int)
{
    stopRequested = 1;
}

// Fills an open file with the contents of another; false on any short read or write.
bool copyInto(const QString &from, QFile &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return to.flush();
        if (to.write(buffer.constData(), got) != got)
            return false;
    }
}

QString stateName(int state)
{
    switch (state) {
    case VbrRepairer::Created:
        return u"Created"_s;
    case VbrRepairer::Reading:
        return u"Reading"_s;
    case VbrRepairer::Read:
        return u"Read"_s;
    case VbrRepairer::Writing:
        return u"Writing"_s;
    case VbrRepairer::Fixed:
        return u"Fixed"_s;
    case VbrRepairer::Skipped:
        return u"Skipped"_s;
    case VbrRepairer::Stopped:
        return u"Stopped"_s;
    case VbrRepairer::Failed:
        return u"Failed"_s;
    }
    return u"Unknown"_s;
}

} // namespace

RepairJob::RepairJob(const QString &input, const QString &output, bool verbose)
    : m_input(input)
    , m_output(output.isEmpty() ? input : output)
    , m_verbose(verbose)
{
}

int RepairJob::run()
{
    const QFileInfo input(m_input);
    if (!input.isFile() || !input.isReadable()) {
        TerminalText::printLine(stderr, u"mavlor-cli: cannot read %1"_s.arg(m_input));
        return 2;
    }
    // A symbolic link given as the output is written through: its target is replaced.
    const QFileInfo given(m_output);
    const QFileInfo output(given.isSymLink() && given.exists() ? given.canonicalFilePath()
                                                               : given.absoluteFilePath());
    const bool separateOutput = output.absoluteFilePath() != input.canonicalFilePath();
    QTemporaryFile result(output.absolutePath() + u"/."_s + output.fileName() + u"-XXXXXX"_s);
    if (!result.open()) {
        TerminalText::printLine(stderr,
                                u"mavlor-cli: cannot write into folder %1: %2"_s.arg(
                                    output.absolutePath(), result.errorString()));
        return 2;
    }
    result.close();

    struct sigaction action = {};
    action.sa_handler = onRepairSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    RepairSettings settings;
    VbrRepairer repairer(*this, settings);
    repairer.fix(QFile::encodeName(m_input).toStdString(),
                 QFile::encodeName(result.fileName()).toStdString());
    const int state = repairer.state();

    int status = 1;
    if (state == VbrRepairer::Fixed || (state == VbrRepairer::Skipped && separateOutput)) {
        // A separate output still receives the file, unchanged, through the same temporary
        // file: the output is never removed before its new contents are complete.
        if (state == VbrRepairer::Skipped
            && (!result.open() || !result.resize(0) || !copyInto(m_input, result))) {
            TerminalText::printLine(
                stderr,
                u"mavlor-cli: cannot write %1: %2"_s.arg(output.filePath(), result.errorString()));
            TerminalText::printLine(stdout, u"State: "_s + stateName(state));
            return 1;
        }
        result.close();
        const QFileInfo permissionsFrom = output.exists() ? output : input;
        result.setPermissions(permissionsFrom.permissions());
        QString error;
        if (!DurableFile::replace(result.fileName(), output.filePath(), &error)) {
            TerminalText::printLine(stderr, u"mavlor-cli: "_s + error);
        } else {
            result.setAutoRemove(false);
            status = 0;
        }
    } else if (state == VbrRepairer::Skipped) {
        status = 0;
    }
    TerminalText::printLine(stdout, u"State: "_s + stateName(state));
    return status;
}

void RepairJob::progress()
{
}

void RepairJob::message(FeedBackMessage message)
{
    static const char *const names[] = {"Detail", "Info", "Warning", "Error"};
    if (message.level < FeedBackInterface::Info && !m_verbose)
        return;
    const int level = std::clamp(message.level, 0, 3);
    // The text may carry raw bytes of the file (unknown data).
    TerminalText::printLine(
        stdout, QString::fromLatin1(names[level]) + u": "_s + TerminalText::escaped(message.text));
}

bool RepairJob::shouldStop()
{
    return stopRequested != 0;
}
