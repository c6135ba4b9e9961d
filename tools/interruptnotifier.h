#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the main thread (through a self-pipe), so a
// Ctrl-C stops the work through the ordinary stop protocol instead of killing the process.
class InterruptNotifier final : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

    bool interrupted() const { return m_interrupted; }

signals:
    void interruptRequested();

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    bool m_interrupted = false;
};
