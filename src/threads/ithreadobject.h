#pragma once

#include <QObject>

#include <atomic>

#include "threads/icontinuelistener.h"

// Work that lives on its own Thread for the life of the process and runs once per start().
// stop() is called from the owning (main) thread while start() runs on the worker; the flag
// is the only state the two share, so it is atomic.
class IThreadObject : public QObject, public IContinueListener
{
    Q_OBJECT
    Q_INTERFACES(IContinueListener)

public:
    explicit IThreadObject(QObject *parent = nullptr);

    virtual void stop();
    bool shouldContinue() override;

    bool stopRequested() const;
    // Called by the owning Thread once the worker has ended, never while start() runs.
    void clearStopRequest();

public slots:
    virtual void start() = 0;

signals:
    void finished();

private:
    std::atomic<bool> m_stopRequested{false};
};
