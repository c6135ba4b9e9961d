#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// What the test servers of the lookups share: a socket on 127.0.0.1 (ephemeral port) served
// on a thread of its own, one request per connection, and a bound port that refuses. A
// derived class answers in handle() and calls stop() first in its destructor, so that no
// request reaches it half destroyed.
class LoopbackServer
{
public:
    LoopbackServer() = default;
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    // Listens and starts serving; false with a reason when the socket cannot be set up.
    bool start(QString *error = nullptr);
    quint16 port() const { return m_port; }
    // A port on 127.0.0.1 that is bound but not listening: connecting to it is refused.
    quint16 refusingPort() const { return m_refusingPort; }

protected:
    // Answers one accepted client; the connection is closed afterwards unless held.
    virtual void handle(int client) = 0;
    // Ends the serving thread and closes the sockets.
    void stop();
    bool stopping() const { return m_stop; }
    // The request up to its blank line, at most maxSize bytes, waited for at most 5 s.
    QByteArray readRequest(int client, qsizetype maxSize) const;
    // Sends every byte unless the server stops first; false when it did not.
    bool sendAll(int client, const char *data, qsizetype size) const;
    // Keeps the connection open, unanswered, until the server ends.
    void hold(int client);

private:
    void serve();

    int m_listener = -1;
    int m_refusing = -1;
    quint16 m_port = 0;
    quint16 m_refusingPort = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_heldMutex;
    QList<int> m_heldClients;
};
