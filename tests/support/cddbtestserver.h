#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// A small freedb server on 127.0.0.1 (ephemeral port) for tests, on its own thread. It
// answers "cddb album" (discs whose title contains the words) and "cddb read" the way freedb
// servers lay answers out: HTTP status line, header lines, blank line, CDDB status line,
// body, ".". Misbehaving modes stand for the servers and networks a client meets.
class CddbTestServer
{
public:
    enum class Mode {
        Normal,
        LfOnly,      // lines end in LF alone
        Drip,        // the answer one byte at a time
        Silent,      // accepts, reads the request, never answers, never closes
        Endless,     // a search answer that never ends
        ErrorStatus, // CDDB status 500 for every command
    };

    struct Disc
    {
        QByteArray genre;
        QByteArray discId;
        QByteArray title;        // ISO-8859-1
        QList<QByteArray> entry; // the xmcd lines of the entry, without status and "."
    };

    CddbTestServer();
    ~CddbTestServer();
    CddbTestServer(const CddbTestServer &) = delete;
    CddbTestServer &operator=(const CddbTestServer &) = delete;

    // Listens and starts serving; false with a reason when the socket cannot be set up.
    bool start(QString *error = nullptr);
    quint16 port() const { return m_port; }
    // A port on 127.0.0.1 that is bound but not listening: connecting to it is refused.
    quint16 refusingPort() const { return m_refusingPort; }

    void setMode(Mode mode);
    // The pause between two dripped bytes.
    void setDripInterval(std::chrono::microseconds interval);
    // Listens on 127.0.0.2 at port() with a full queue: a connection there is never answered.
    bool startBlackhole(QString *error = nullptr);
    void addDisc(const Disc &disc);
    // The requests received so far, each up to and including its blank line.
    QList<QByteArray> requests() const;

    // An entry in freedb's layout for the given frame offsets, length and titles.
    static QList<QByteArray> entryLines(const QList<int> &offsets, int discSeconds,
                                        const QByteArray &dtitle, const QList<QByteArray> &titles);

private:
    void serve();
    void handle(int client);
    QByteArray answerFor(const QByteArray &request, bool *endless);

    int m_listener = -1;
    int m_refusing = -1;
    int m_blackhole = -1;
    int m_blackholeFiller = -1;
    std::chrono::microseconds m_dripInterval{300};
    quint16 m_port = 0;
    quint16 m_refusingPort = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Normal;
    QList<Disc> m_discs;
    QList<QByteArray> m_requests;
    QList<int> m_heldClients;
};
