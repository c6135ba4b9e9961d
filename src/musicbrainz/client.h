#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "musicbrainz/release.h"
#include "musicbrainz/releasesummary.h"
#include "musicbrainz/server.h"

class IContinueListener;

namespace MusicBrainz {

// The two ws/2 requests, each a blocking call that runs its own event loop over a
// QNetworkAccessManager made for it on the calling thread (a worker thread in the program).
// Polite as the service asks: our User-Agent, one request per second per process, HTTP 503
// waited out as Retry-After says (twice at most), answers capped and timed out. A stop from
// the continue listener aborts the transfer within a few tens of milliseconds.
class Client final
{
public:
    enum class Failure {
        None,
        BadRequest, // nothing was sent: no text, or not a release id
        Resolve,
        Connect,
        TimedOut,
        Tls,
        TooLarge,
        HttpStatus,
        NotJson,
        Network,
        Stopped
    };

    static constexpr qint64 maxAnswerBytes = 4 * 1024 * 1024;
    static constexpr int defaultIdleLimitMs = 20000;
    static constexpr int defaultOverallLimitMs = 60000;
    static constexpr int maxRetries = 2;
    static constexpr int maxRetryAfterSeconds = 30;
    static constexpr int searchLimit = 25;

    explicit Client(const Server &server = Server::fromSettings());

    void setServer(const Server &server) { m_server = server; }
    void setContinueListener(IContinueListener *listener) { m_continueListener = listener; }
    // No byte for idleMs, or the whole exchange longer than overallMs, is a time-out.
    void setTimeLimits(int idleMs, int overallMs);

    bool search(const QString &text, ReleaseList *releases);
    bool readRelease(const QString &id, Release *release);

    Failure failure() const { return m_failure; }
    // One line saying why the last request failed.
    QString errorString() const { return m_errorString; }

    // "Mavlor/VERSION ( contact )"
    static QByteArray userAgent();
    // The text as one Lucene phrase: quoted, with backslash and quote escaped.
    static QString luceneQuery(const QString &text);

private:
    // The 8-4-4-4-12 hexadecimal form of an MBID.
    static bool isReleaseId(const QString &text);
    QUrl searchUrl(const QString &text) const;
    QUrl releaseUrl(const QString &id) const;
    // GET with the spacing, the 503 retries and the limits; the body of a 2xx answer.
    bool get(const QUrl &url, QByteArray *body);
    // One GET; *retryAfter is set (seconds) when the server answered 503.
    bool getOnce(const QUrl &url, QByteArray *body, int *retryAfter);
    bool fail(Failure failure, const QString &reason);

    Server m_server;
    IContinueListener *m_continueListener = nullptr;
    int m_idleLimitMs = defaultIdleLimitMs;
    int m_overallLimitMs = defaultOverallLimitMs;
    Failure m_failure = Failure::None;
    QString m_errorString;
};

} // namespace MusicBrainz
