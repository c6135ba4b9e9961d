#include "threads/thread.h"

#include "threads/ithreadobject.h"

Thread::Thread(QObject *object)
    : QThread(nullptr)
{
    if (object)
        attachObject(object);
}

Thread::~Thread()
{
    // Destroying a running QThread aborts the process; owners stop their work first, this
    // only guards against an owner that forgot.
    while (isRunning()) {
        quit();
        wait(10);
    }
}

void Thread::attachObject(QObject *object)
{
    m_object = object;
    auto *threadObject = qobject_cast<IThreadObject *>(object);
    if (!threadObject)
        return;
    connect(this, &QThread::started, threadObject, &IThreadObject::start);
    connect(threadObject, &IThreadObject::finished, this, &Thread::onFinish);
    threadObject->moveToThread(this);
}

bool Thread::startWork()
{
    if (isRunning() || !m_object)
        return false;
    start(QThread::InheritPriority);
    return true;
}

void Thread::stopAndWait()
{
    if (!isRunning())
        return;
    if (auto *threadObject = qobject_cast<IThreadObject *>(m_object))
        threadObject->stop();
    while (isRunning()) {
        quit();
        wait(10);
    }
}

void Thread::onFinish()
{
    // The worker may not have entered its event loop when the first quit() arrives, and a
    // quit before exec() is lost; repeat it until the thread has really ended.
    while (isRunning()) {
        quit();
        wait(5);
    }
    if (auto *threadObject = qobject_cast<IThreadObject *>(m_object))
        threadObject->clearStopRequest();
    emit stopped();
}
