// Window responsiveness benchmark, run by hand: opens the 60-minute album of
// mavlor-bench-split in the real main window (offscreen) and slices it into 12 tracks, five
// times each, while a 1 ms timer on the GUI thread records the longest gap between its
// ticks. Usage: mavlor-bench-window [ALBUM.mp3]
// (default: $TMPDIR/mavlor-bench/album60.mp3, which mavlor-bench-split makes once; the sheet
// it leaves beside the album is taken, as the window takes any sheet of the album's name).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>

#include "app/buttonlineedit.h"
#include "app/mainwindow.h"
#include "app/progresswidget.h"
#include "tracks/listmodel.h"
#include "tracks/tracklist.h"
#include "waveform/waveformwidget.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int rounds = 5;
constexpr int trackCount = 12;

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Ticks every millisecond on the GUI thread; the longest gap between two ticks is how long
// the event loop was kept from running. On a busy machine the wall-clock gap includes the
// time the thread waited for a core, so the GUI thread's own CPU time between two ticks is
// kept as well: that part is ours.
class GapMeter
{
public:
    struct Result
    {
        double longestMs = 0;
        double longestCpuMs = 0;
        double phaseMs = 0;
    };

    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            m_longest = std::max(m_longest, now - m_last);
            m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
            m_last = now;
            m_lastCpu = cpu;
        });
    }

    void begin()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNs();
        m_longest = 0;
        m_longestCpu = 0;
        m_timer.start();
    }

    Result end()
    {
        m_timer.stop();
        return {m_longest / 1e6, m_longestCpu / 1e6, m_clock.nsecsElapsed() / 1e6};
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longest = 0;
    qint64 m_longestCpu = 0;
};

// Times every event the GUI thread delivers, to name the slowest one of a phase.
class TimingApplication final : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool result = QApplication::notify(receiver, event);
            --m_depth;
            return result;
        }
        QElapsedTimer timer;
        timer.start();
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        const double ms = timer.nsecsElapsed() / 1e6;
        if (ms > slowestMs) {
            slowestMs = ms;
            slowest = u"%1 to %2 \"%3\""_s.arg(int(event->type()))
                          .arg(QString::fromLatin1(receiver->metaObject()->className()),
                               receiver->objectName());
        }
        return result;
    }

    double slowestMs = 0;
    QString slowest;

private:
    int m_depth = 0;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication application(argc, argv);
    const QString album = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                   : QDir::tempPath() + u"/mavlor-bench/album60.mp3"_s;
    if (!QFileInfo(album).isFile()) {
        std::fprintf(stderr, "no album at %s: run mavlor-bench-split once first\n",
                     qPrintable(album));
        return 1;
    }
    QTemporaryDir work;
    QApplication::setApplicationName(u"Mavlor"_s);
    QApplication::setOrganizationName(u"Orvane Software"_s);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, work.filePath(u"config"_s));

    Mp3ManagerScope workManager;
    MainWindow window;
    window.show();
    QApplication::processEvents();
    GapMeter meter;
    // The same loop with nothing to do: what the machine itself takes from the GUI thread.
    meter.begin();
    QElapsedTimer idle;
    idle.start();
    waitFor([&] { return idle.elapsed() >= 1000; });
    const GapMeter::Result idleGap = meter.end();
    std::printf("idle %.0f ms: longest gap %.2f ms (GUI thread CPU %.2f ms)\n", idleGap.phaseMs,
                idleGap.longestMs, idleGap.longestCpuMs);
    GapMeter::Result worstRead;
    GapMeter::Result worstSlice;
    for (int round = 0; round < rounds; ++round) {
        application.slowestMs = 0;
        meter.begin();
        if (!window.openFile(album) || !waitFor([&] {
                return window.waveformView()->frameIndex() && !window.progressPanel()->isVisible()
                    && TrackList::instance()->count() > 0
                    && window.trackModel()->rowCount() == TrackList::instance()->count();
            })) {
            std::fprintf(stderr, "the album was not read\n");
            return 1;
        }
        const GapMeter::Result read = meter.end();
        const QString slowestRead =
            u"%1 ms, event %2"_s.arg(application.slowestMs, 0, 'f', 2).arg(application.slowest);
        application.slowestMs = 0;

        const int total = window.session()->totalLength();
        TrackContainer tracks;
        for (int i = 0; i < trackCount; ++i)
            tracks.append(Track{u"Track %1"_s.arg(i + 1), u"Bench"_s, i + 1, total * i / trackCount,
                                total * (i + 1) / trackCount});
        window.onReadyTracks(tracks);
        const QString out = work.filePath(u"out%1"_s.arg(round));
        window.saveFolderEdit()->setText(out);
        window.statusBar()->clearMessage();
        meter.begin();
        window.onSlice();
        if (!waitFor([&] { return !window.statusBar()->currentMessage().isEmpty(); })) {
            std::fprintf(stderr, "the slice did not end\n");
            return 1;
        }
        const GapMeter::Result slice = meter.end();
        std::printf("round %d: read %.1f ms, longest gap %.2f ms (CPU %.2f); slice %.1f ms, "
                    "longest gap %.2f ms (CPU %.2f); %s\n"
                    "  slowest event: reading %s; slicing %.2f ms, event %s\n",
                    round + 1, read.phaseMs, read.longestMs, read.longestCpuMs, slice.phaseMs,
                    slice.longestMs, slice.longestCpuMs,
                    qPrintable(window.statusBar()->currentMessage()), qPrintable(slowestRead),
                    application.slowestMs, qPrintable(application.slowest));
        for (auto [worst, now] : {std::pair{&worstRead, read}, std::pair{&worstSlice, slice}}) {
            worst->longestMs = std::max(worst->longestMs, now.longestMs);
            worst->longestCpuMs = std::max(worst->longestCpuMs, now.longestCpuMs);
        }
    }
    std::printf("longest GUI-thread gap (target <= 16 ms): reading %.2f ms (its own CPU %.2f), "
                "slicing %.2f ms (its own CPU %.2f)\n",
                worstRead.longestMs, worstRead.longestCpuMs, worstSlice.longestMs,
                worstSlice.longestCpuMs);
    window.close();
    return 0;
}
