#include "slice/trackcommitter.h"

#include "slice/durablefile.h"

TrackCommitter::TrackCommitter()
    : m_thread([this] { run(); })
{
}

TrackCommitter::~TrackCommitter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TrackCommitter::add(const QString &from, const QString &to)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.append({from, to});
    }
    m_changed.notify_all();
}

QStringList TrackCommitter::take(qsizetype uncommitted)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queue.size() + m_busy <= uncommitted; });
    return std::exchange(m_outcomes, {});
}

void TrackCommitter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_quit || !m_queue.isEmpty(); });
        if (m_queue.isEmpty())
            return;
        const QList<std::pair<QString, QString>> batch = std::exchange(m_queue, {});
        m_busy = batch.size();
        lock.unlock();
        const QStringList outcomes = DurableFile::replaceAll(batch);
        lock.lock();
        m_outcomes += outcomes;
        m_busy = 0;
        m_changed.notify_all();
    }
}
