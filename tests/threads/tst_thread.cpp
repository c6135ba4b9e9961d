#include <QSignalSpy>
#include <QTest>

#include <atomic>

#include "threadrun.h"
#include "threads/ithreadobject.h"
#include "threads/thread.h"

using namespace Qt::StringLiterals;

namespace {

// Spins until stopped or until it has made `steps` checks; counts completed runs.
class SpinningObject final : public IThreadObject
{
    Q_OBJECT

public:
    std::atomic<int> steps{0};
    std::atomic<int> runs{0};
    std::atomic<int> completedRuns{0};
    std::atomic<bool> running{false};
    std::atomic<bool> hold{false};

    void start() override
    {
        running = true;
        ++runs;
        int done = 0;
        const int wanted = steps.load();
        while (shouldContinue() && (hold || done < wanted)) {
            ++done;
            QThread::usleep(100);
        }
        if (shouldContinue())
            ++completedRuns;
        running = false;
        emit finished();
    }
};

} // namespace

class tst_Thread : public QObject
{
    Q_OBJECT

private slots:
    void runGoesToCompletionAndStopsOnce();
    void stopThenRestartRunsToCompletion();
    void lateStopDoesNotCancelNextRun();
    void startWhileRunningIsIgnored();
    void startWithoutObjectIsIgnored();
    void onFinishReturnsAfterThreadEnded();
};

void tst_Thread::runGoesToCompletionAndStopsOnce()
{
    SpinningObject object;
    object.steps = 20;
    ThreadRun run(&object);
    Thread &thread = run.thread();
    QSignalSpy &stopped = run.stopped();
    QVERIFY(thread.startWork());
    QVERIFY(stopped.wait(5000));
    QCOMPARE(object.completedRuns.load(), 1);
    QVERIFY(!thread.isRunning());
    // No second stopped() follows.
    QVERIFY(!stopped.wait(50));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(object.thread(), &thread);
}

void tst_Thread::stopThenRestartRunsToCompletion()
{
    SpinningObject object;
    object.hold = true;
    ThreadRun run(&object);
    Thread &thread = run.thread();
    QSignalSpy &stopped = run.stopped();
    QVERIFY(thread.startWork());
    QTRY_VERIFY(object.running.load());
    object.stop();
    QVERIFY(stopped.wait(5000));
    QCOMPARE(object.completedRuns.load(), 0);
    QVERIFY(!object.stopRequested());

    object.hold = false;
    object.steps = 10;
    QVERIFY(thread.startWork());
    QVERIFY(stopped.wait(5000));
    QCOMPARE(object.completedRuns.load(), 1);
    QCOMPARE(stopped.count(), 2);
}

void tst_Thread::lateStopDoesNotCancelNextRun()
{
    SpinningObject object;
    object.steps = 1;
    ThreadRun run(&object);
    Thread &thread = run.thread();
    QSignalSpy &stopped = run.stopped();
    QVERIFY(thread.startWork());
    // Stop after the work ended but before onFinish() ran: no events are processed here,
    // so the queued finished() cannot be delivered yet.
    QThread::msleep(1);
    while (object.running.load() || object.runs.load() == 0)
        QThread::usleep(100);
    QVERIFY(thread.isRunning());
    object.stop();
    QCOMPARE(stopped.count(), 0);
    QVERIFY(stopped.wait(5000));
    QVERIFY(!object.stopRequested());

    object.steps = 5;
    QVERIFY(thread.startWork());
    QVERIFY(stopped.wait(5000));
    QCOMPARE(object.completedRuns.load(), 2);
}

void tst_Thread::startWhileRunningIsIgnored()
{
    SpinningObject object;
    object.hold = true;
    ThreadRun run(&object);
    Thread &thread = run.thread();
    QSignalSpy &stopped = run.stopped();
    QVERIFY(thread.startWork());
    QTRY_VERIFY(object.running.load());
    QVERIFY(!thread.startWork());
    object.stop();
    QVERIFY(stopped.wait(5000));
    // No second stopped() follows.
    QVERIFY(!stopped.wait(50));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(object.runs.load(), 1);
}

void tst_Thread::startWithoutObjectIsIgnored()
{
    Thread thread;
    QVERIFY(!thread.startWork());
    QVERIFY(!thread.isRunning());
}

void tst_Thread::onFinishReturnsAfterThreadEnded()
{
    SpinningObject object;
    object.steps = 1;
    ThreadRun run(&object);
    Thread &thread = run.thread();
    bool endedBeforeStopped = false;
    connect(&thread, &Thread::stopped, this, [&] { endedBeforeStopped = thread.isFinished(); });
    QSignalSpy &stopped = run.stopped();
    QVERIFY(thread.startWork());
    QVERIFY(stopped.wait(5000));
    QVERIFY(endedBeforeStopped);
}

QTEST_GUILESS_MAIN(tst_Thread)
#include "tst_thread.moc"
