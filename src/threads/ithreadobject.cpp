#include "threads/ithreadobject.h"

IThreadObject::IThreadObject(QObject *parent)
    : QObject(parent)
{
}

void IThreadObject::stop()
{
    m_stopRequested.store(true, std::memory_order_relaxed);
}

bool IThreadObject::shouldContinue()
{
    return !m_stopRequested.load(std::memory_order_relaxed);
}

bool IThreadObject::stopRequested() const
{
    return m_stopRequested.load(std::memory_order_relaxed);
}

void IThreadObject::clearStopRequest()
{
    m_stopRequested.store(false, std::memory_order_relaxed);
}
