#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

#include "loopbackserver.h"

// A small MusicBrainz ws/2 server on 127.0.0.1 (ephemeral port) for tests, on its own thread.
// It answers release searches and release lookups with JSON laid out as the real service's
// (artist credits with join phrases, media with tracks and recordings), one request per
// connection. Misbehaving modes stand for the servers and networks a client meets.
class MusicBrainzTestServer final : public LoopbackServer
{
public:
    enum class Mode {
        Normal,
        Busy,      // HTTP 503 with Retry-After: 1 for the next busyAnswers requests
        Malformed, // 200 with a body that is not JSON
        Endless,   // a body that never ends
        Silent,    // reads the request, never answers, never closes
    };

    struct Credit
    {
        QString name;
        QString joinPhrase;
    };
    struct Track
    {
        QString title;
        QList<Credit> artist;
        int length = -1; // ms; -1 gives null, as the service sends for an unknown length
    };
    struct Medium
    {
        QString format;
        QList<Track> tracks;
    };
    struct Release
    {
        QString id;
        QString title;
        QList<Credit> artist;
        QString date;
        QString country;
        QList<Medium> media;
    };
    struct Request
    {
        QByteArray target; // the request line's path and query
        QByteArray userAgent;
        qint64 atMs = 0; // arrival, on the steady clock
    };

    ~MusicBrainzTestServer() override;

    // "http://127.0.0.1:PORT"
    QString url() const;

    void setMode(Mode mode, int busyAnswers = 0);
    void addRelease(const Release &release);
    QList<Request> requests() const;

private:
    void handle(int client) override;
    QByteArray answerFor(const QByteArray &target, bool *endless);

    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Normal;
    int m_busyAnswers = 0;
    QList<Release> m_releases;
    QList<Request> m_requests;
};
