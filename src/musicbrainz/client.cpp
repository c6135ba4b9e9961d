#include "musicbrainz/client.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include "musicbrainz/answerparser.h"
#include "musicbrainz/requestgate.h"
#include "threads/icontinuelistener.h"

#include <chrono>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// How often a running transfer asks the continue listener.
constexpr int stopPollMs = 25;

// The address the service can write to about this client's traffic.
constexpr char contact[] = "mavlor@orvane-software.example";

void useSystemProxy()
{
    static std::once_flag once;
    std::call_once(once, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
}

} // namespace

namespace MusicBrainz {

Client::Client(const Server &server)
    : m_server(server)
{
}

void Client::setTimeLimits(int idleMs, int overallMs)
{
    m_idleLimitMs = idleMs;
    m_overallLimitMs = overallMs;
}

QByteArray Client::userAgent()
{
    return QByteArray("Mavlor/") + MAVLOR_VERSION + " ( " + contact + " )";
}

QString Client::luceneQuery(const QString &text)
{
    QString escaped = text.simplified();
    escaped.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + escaped + u'"';
}

bool Client::isReleaseId(const QString &text)
{
    static const QRegularExpression mbid(
        u"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"_s);
    return mbid.match(text).hasMatch();
}

QUrl Client::searchUrl(const QString &text) const
{
    QUrl url = m_server.url;
    url.setPath(url.path() + u"/ws/2/release/"_s);
    const QByteArray query = "query=" + QUrl::toPercentEncoding(luceneQuery(text))
        + "&fmt=json&limit=" + QByteArray::number(searchLimit);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

QUrl Client::releaseUrl(const QString &id) const
{
    QUrl url = m_server.url;
    url.setPath(url.path() + u"/ws/2/release/"_s + id);
    url.setQuery(u"inc=recordings+artist-credits&fmt=json"_s, QUrl::StrictMode);
    return url;
}

bool Client::fail(Failure failure, const QString &reason)
{
    m_failure = failure;
    m_errorString = reason;
    return false;
}

bool Client::search(const QString &text, ReleaseList *releases)
{
    if (text.simplified().isEmpty())
        return fail(Failure::BadRequest, u"nothing to search for"_s);
    QByteArray body;
    if (!get(searchUrl(text), &body))
        return false;
    QString error;
    if (!AnswerParser::parseSearch(body, releases, &error))
        return fail(Failure::NotJson, error);
    return true;
}

bool Client::readRelease(const QString &id, Release *release)
{
    if (!isReleaseId(id))
        return fail(Failure::BadRequest, u"\"%1\" is not a release id"_s.arg(id.left(80)));
    QByteArray body;
    if (!get(releaseUrl(id), &body))
        return false;
    QString error;
    if (!AnswerParser::parseRelease(body, release, &error))
        return fail(Failure::NotJson, error);
    return true;
}

bool Client::get(const QUrl &url, QByteArray *body)
{
    m_failure = Failure::None;
    m_errorString.clear();
    for (int attempt = 0;; ++attempt) {
        if (!RequestGate::waitTurn(m_continueListener))
            return fail(Failure::Stopped, u"stopped"_s);
        int retryAfter = -1;
        if (getOnce(url, body, &retryAfter)) {
            m_failure = Failure::None;
            m_errorString.clear();
            return true;
        }
        if (retryAfter < 0)
            return false;
        if (attempt == maxRetries || retryAfter > maxRetryAfterSeconds)
            return false;
        if (!RequestGate::waitUntil(std::chrono::steady_clock::now()
                                        + std::chrono::seconds(retryAfter),
                                    m_continueListener))
            return fail(Failure::Stopped, u"stopped"_s);
    }
}

bool Client::getOnce(const QUrl &url, QByteArray *body, int *retryAfter)
{
    useSystemProxy();
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);

    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QByteArray received;
    Failure ownFailure = Failure::None;
    QString ownReason;
    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    QTimer overall;
    overall.setSingleShot(true);
    QTimer stopPoll;
    const QString tooLarge =
        u"the answer is larger than %1 MiB"_s.arg(maxAnswerBytes / (1024 * 1024));
    auto abortWith = [&](Failure failure, const QString &reason) {
        if (ownFailure == Failure::None) {
            ownFailure = failure;
            ownReason = reason;
        }
        reply->abort();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        idle.start(m_idleLimitMs);
        if (received.size() + reply->bytesAvailable() > maxAnswerBytes) {
            abortWith(Failure::TooLarge, tooLarge);
            return;
        }
        received += reply->readAll();
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > maxAnswerBytes)
            abortWith(Failure::TooLarge, tooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &loop,
                     [&] { idle.start(m_idleLimitMs); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&idle, &QTimer::timeout, &loop, [&] {
        abortWith(
            Failure::TimedOut,
            u"no answer from %1 within %2 seconds"_s.arg(url.host()).arg(m_idleLimitMs / 1000.0));
    });
    QObject::connect(&overall, &QTimer::timeout, &loop, [&] {
        abortWith(Failure::TimedOut,
                  u"the answer from %1 took longer than %2 seconds"_s.arg(url.host())
                      .arg(m_overallLimitMs / 1000.0));
    });
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
        if (m_continueListener && !m_continueListener->shouldContinue())
            abortWith(Failure::Stopped, u"stopped"_s);
    });
    idle.start(m_idleLimitMs);
    overall.start(m_overallLimitMs);
    stopPoll.start(stopPollMs);
    if (!reply->isFinished())
        loop.exec();
    if (ownFailure == Failure::None && reply->bytesAvailable() > 0) {
        if (received.size() + reply->bytesAvailable() > maxAnswerBytes) {
            ownFailure = Failure::TooLarge;
            ownReason = u"the answer is too large"_s;
        } else {
            received += reply->readAll();
        }
    }
    if (ownFailure != Failure::None)
        return fail(ownFailure, ownReason);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 503) {
        bool ok = false;
        const int seconds = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
        *retryAfter = ok && seconds >= 0 ? seconds : 1;
        return fail(Failure::HttpStatus,
                    u"the server is busy (HTTP 503), retry after %1 seconds"_s.arg(*retryAfter));
    }
    if (status != 0 && (status < 200 || status > 299)) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().left(80);
        return fail(Failure::HttpStatus,
                    u"the server answered HTTP %1 %2"_s.arg(status).arg(reason).trimmed());
    }
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::HostNotFoundError:
        return fail(Failure::Resolve, u"cannot resolve %1"_s.arg(url.host()));
    case QNetworkReply::ConnectionRefusedError:
        return fail(Failure::Connect, u"%1 refused the connection"_s.arg(url.authority()));
    case QNetworkReply::TimeoutError:
        return fail(Failure::TimedOut, u"no answer from %1"_s.arg(url.host()));
    case QNetworkReply::SslHandshakeFailedError:
        return fail(Failure::Tls,
                    u"TLS failure with %1: %2"_s.arg(url.host(), reply->errorString()));
    default:
        return fail(Failure::Network, reply->errorString());
    }
    if (status == 0)
        return fail(Failure::Network, u"%1 sent no HTTP answer"_s.arg(url.host()));
    *body = received;
    return true;
}

} // namespace MusicBrainz
