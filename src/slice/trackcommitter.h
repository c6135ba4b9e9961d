#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

// Gives finished files their names (DurableFile::replaceAll) on a thread of its own, in the
// order they were added, so that the writer cuts the next tracks while the disk catches up.
// Files waiting together are flushed together: one folder flush covers them all.
class TrackCommitter
{
public:
    TrackCommitter();
    // Commits what was added and not yet taken, then ends the thread.
    ~TrackCommitter();
    TrackCommitter(const TrackCommitter &) = delete;
    TrackCommitter &operator=(const TrackCommitter &) = delete;

    // Queues a complete file to replace `to`.
    void add(const QString &from, const QString &to);
    // Waits until at most `uncommitted` files added are not yet committed, then returns the
    // outcome of each file committed since the last call, oldest first: empty where the file
    // took its name, else why not.
    QStringList take(qsizetype uncommitted);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<std::pair<QString, QString>> m_queue;
    qsizetype m_busy = 0; // taken from the queue, not yet committed
    QStringList m_outcomes;
    bool m_quit = false;
    std::thread m_thread;
};
