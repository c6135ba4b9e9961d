#pragma once

#include <QSignalSpy>

#include <memory>

#include "threads/thread.h"

class IThreadObject;

// Runs a thread object on a real Thread, wired as its owners wire it. The object stays the
// caller's and must outlive this fixture. Teardown is bounded: a worker still running is
// stopped, and one that does not end within the bound aborts the test with a message rather
// than hanging it until the CTest time-out.
class ThreadRun
{
public:
    explicit ThreadRun(IThreadObject *object, int teardownMs = 5000);
    ~ThreadRun();

    ThreadRun(const ThreadRun &) = delete;
    ThreadRun &operator=(const ThreadRun &) = delete;

    Thread &thread() { return *m_thread; }
    QSignalSpy &stopped() { return m_stopped; }

    // Starts a run, forgetting the stopped() of earlier ones; false when it did not start.
    bool start();
    // True once the run started last has emitted stopped(); false after timeoutMs.
    bool waitForEnd(int timeoutMs = 20000);
    // Stops a running worker and quits its loop; false when it is still running after the
    // teardown bound.
    bool stopAndWait();

private:
    IThreadObject *m_object;
    int m_teardownMs;
    std::unique_ptr<Thread> m_thread;
    QSignalSpy m_stopped;
};
