#pragma once

#include <QThread>

// A worker thread running the plain Qt event loop, paired with one thread object that it
// starts on started() and quits after on finished(). Owns neither itself nor the object.
class Thread final : public QThread
{
    Q_OBJECT

public:
    explicit Thread(QObject *object = nullptr);
    ~Thread() override;

    // Wires started() to the object's start() and its finished() to onFinish(), then moves
    // the object onto this thread. Only an IThreadObject can be attached.
    void attachObject(QObject *object);
    QObject *object() const { return m_object; }

    // Starts a run unless one is under way or there is no object; returns whether it started.
    bool startWork();

    // For an owner's teardown: asks the object to stop and quits the loop until the thread
    // has ended, without waiting for onFinish(), which may never be delivered again.
    void stopAndWait();

signals:
    void stopped();

public slots:
    void onFinish();

private:
    QObject *m_object = nullptr;
};
