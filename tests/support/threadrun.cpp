#include "threadrun.h"

#include <QDeadlineTimer>
#include <QtGlobal>

#include "threads/ithreadobject.h"

ThreadRun::ThreadRun(IThreadObject *object, int teardownMs)
    : m_object(object)
    , m_teardownMs(teardownMs)
    , m_thread(std::make_unique<Thread>(object))
    , m_stopped(m_thread.get(), &Thread::stopped)
{
}

ThreadRun::~ThreadRun()
{
    // A worker that ignores stop() cannot be ended safely; the object would be destroyed
    // under it. End the test loudly instead of waiting for the CTest time-out.
    if (!stopAndWait())
        qFatal("ThreadRun: the worker did not end within %d ms of stop()", m_teardownMs);
}

bool ThreadRun::start()
{
    m_stopped.clear();
    return m_thread->startWork();
}

bool ThreadRun::waitForEnd(int timeoutMs)
{
    return !m_stopped.isEmpty() || m_stopped.wait(timeoutMs);
}

bool ThreadRun::stopAndWait()
{
    if (!m_thread->isRunning())
        return true;
    m_object->stop();
    // onFinish() is queued to this thread and cannot run while we wait here, so quit the
    // worker's loop ourselves, again and again: a quit before exec() is lost.
    const QDeadlineTimer deadline(m_teardownMs);
    while (m_thread->isRunning() && !deadline.hasExpired()) {
        m_thread->quit();
        m_thread->wait(10);
    }
    return !m_thread->isRunning();
}
