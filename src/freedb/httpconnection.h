#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class IContinueListener;

// One HTTP/1.0 GET over one TCP connection: connect, send the request, read until the
// server closes, split into lines. Every wait is sliced so that the continue listener is
// asked at least four times a second; an exchange without progress for the idle limit, or
// longer than the overall limit from connect() on, fails. Blocking calls on the calling
// thread; the listener is not owned.
class HttpConnection final
{
public:
    enum class Failure {
        None,
        Resolve,
        Connect,
        Send,
        Receive,
        TimedOut,
        TooLarge,
        Stopped
    };

    static constexpr int defaultIdleLimitMs = 20000;
    static constexpr int defaultOverallLimitMs = 60000;
    static constexpr qsizetype maxResponseBytes = 4 * 1024 * 1024;
    // A longer line keeps its first bytes only: no freedb line needs more.
    static constexpr qsizetype maxLineBytes = 4096;

    HttpConnection(const QByteArray &host, int port);
    ~HttpConnection();

    HttpConnection(const HttpConnection &) = delete;
    HttpConnection &operator=(const HttpConnection &) = delete;

    void setContinueListener(IContinueListener *listener) { m_continueListener = listener; }
    void setIdleLimit(int milliseconds) { m_idleLimitMs = milliseconds; }
    void setOverallLimit(int milliseconds) { m_overallLimitMs = milliseconds; }
    // Numeric addresses to try in order instead of the host's, for a server known by them.
    void setAddresses(const QList<QByteArray> &addresses) { m_addresses = addresses; }

    // Resolves the host and connects to its addresses in order; true when one accepted. An
    // address that refuses or does not answer within the idle limit gives way to the next.
    bool connect();
    // Completes head ("GET /path?query") with the protocol and the Host header and sends it.
    bool sendRequest(const QByteArray &head);
    // Reads the whole response and appends its lines; false on error, time-out, a response
    // over maxResponseBytes or a stop, and then the list is left as it was.
    bool receiveLines(QList<QByteArray> *lines, const QByteArray &separators);
    void close();

    Failure failure() const { return m_failure; }
    // One line saying why the last step failed, with the system's reason where there is one.
    QString errorString() const { return m_errorString; }

    // A separator text starting at a separator character counts as one line end, and so does
    // any single separator character; a line end at the very end adds no empty line. Lines
    // are cut at maxLineBytes.
    static QList<QByteArray> splitLines(const QByteArray &text, const QByteArray &separators);

private:
    enum class Wait {
        Ready,
        Stopped,
        TimedOut,
        Error
    };
    // Polls fd for events in short slices until ready, a stop, the deadline or an error.
    Wait waitFor(short events, qint64 deadlineMs);
    bool shouldContinue() const;
    // The idle limit from now, or the overall deadline when that comes first.
    qint64 deadline() const;
    bool timedOut(const QString &reason);
    bool resolve(const QByteArray &host, int flags, struct addrinfo **result);
    bool connectTo(const struct addrinfo *address);
    bool fail(Failure failure, const QString &reason);

    int m_socket = -1;
    QByteArray m_host;
    QByteArray m_port;
    IContinueListener *m_continueListener = nullptr;
    int m_idleLimitMs = defaultIdleLimitMs;
    int m_overallLimitMs = defaultOverallLimitMs;
    qint64 m_overallDeadline = 0;
    QList<QByteArray> m_addresses;
    Failure m_failure = Failure::None;
    QString m_errorString;
};
