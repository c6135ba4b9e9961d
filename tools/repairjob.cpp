#include "repairjob.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>

#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

using namespace Qt::StringLiterals;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onRepairSignal(int)
{
    stopRequested = 1;
}

void printLine(FILE *stream, const QString &text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), stream);
}

QString stateName(int state)
{
    switch (state) {
    case VbrRepairer::Created: return u"Created"_s;
    case VbrRepairer::Reading: return u"Reading"_s;
    case VbrRepairer::Read: return u"Read"_s;
    case VbrRepairer::Writing: return u"Writing"_s;
    case VbrRepairer::Fixed: return u"Fixed"_s;
    case VbrRepairer::Skipped: return u"Skipped"_s;
    case VbrRepairer::Stopped: return u"Stopped"_s;
    case VbrRepairer::Failed: return u"Failed"_s;
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
        printLine(stderr, u"mavlor-cli: cannot read %1"_s.arg(m_input));
        return 2;
    }
    const QFileInfo output(m_output);
    QTemporaryFile result(output.absolutePath() + u"/."_s + output.fileName() + u"-XXXXXX"_s);
    if (!result.open()) {
        printLine(stderr, u"mavlor-cli: cannot write into folder %1: %2"_s
                              .arg(output.absolutePath(), result.errorString()));
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
    if (state == VbrRepairer::Fixed) {
        const QFileInfo permissionsFrom = output.exists() ? output : input;
        result.setPermissions(permissionsFrom.permissions());
        // rename(2) replaces the target in one step; QFile::rename refuses existing targets.
        if (::rename(QFile::encodeName(result.fileName()).constData(),
                     QFile::encodeName(m_output).constData()) != 0) {
            printLine(stderr, u"mavlor-cli: cannot replace %1"_s.arg(m_output));
            status = 1;
        } else {
            result.setAutoRemove(false);
            status = 0;
        }
    } else if (state == VbrRepairer::Skipped) {
        status = 0;
        // A separate output still receives the file, unchanged.
        if (output.absoluteFilePath() != input.absoluteFilePath()) {
            QFile::remove(m_output);
            if (!QFile::copy(m_input, m_output)) {
                printLine(stderr, u"mavlor-cli: cannot write %1"_s.arg(m_output));
                status = 1;
            }
        }
    }
    printLine(stdout, u"State: "_s + stateName(state));
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
    std::printf("%s: %s\n", names[level], message.text.c_str());
}

bool RepairJob::shouldStop()
{
    return stopRequested != 0;
}
