#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <mutex>

#include "loopbackserver.h"

// A small freedb server on 127.0.0.1 (ephemeral port) for tests, on its own thread. It
// answers "cddb album" (discs whose title contains the words) and "cddb read" the way freedb
// servers lay answers out: HTTP status line, header lines, blank line, CDDB status line,
// body, ".". Misbehaving modes stand for the servers and networks a client meets.
class CddbTestServer final : public LoopbackServer
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

    ~CddbTestServer() override;

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
    void handle(int client) override;
    QByteArray answerFor(const QByteArray &request, bool *endless);

    int m_blackhole = -1;
    int m_blackholeFiller = -1;
    std::chrono::microseconds m_dripInterval{300};
    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Normal;
    QList<Disc> m_discs;
    QList<QByteArray> m_requests;
};
