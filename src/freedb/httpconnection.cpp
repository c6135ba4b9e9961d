#include "freedb/httpconnection.h"

#include <QObject> // the listener header declares a Qt interface

#include "threads/icontinuelistener.h"

#include <QByteArrayView>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Each blocking wait lasts at most this long before the continue listener is asked again.
constexpr int sliceMs = 250;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// One name lookup, shared by the waiting connection and the thread that resolves. A lookup
// the connection gave up on is freed by that thread when the resolver returns.
struct Lookup
{
    QByteArray host;
    QByteArray port;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int status = 0;
    int error = 0;
    addrinfo *result = nullptr;
};

void runLookup(const std::shared_ptr<Lookup> &lookup, int flags)
{
    addrinfo hints{};
    hints.ai_flags = flags;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    const int status =
        ::getaddrinfo(lookup->host.constData(), lookup->port.constData(), &hints, &result);
    const int error = errno;
    std::lock_guard lock(lookup->mutex);
    if (lookup->abandoned) {
        if (status == 0)
            ::freeaddrinfo(result);
        return;
    }
    lookup->status = status;
    lookup->error = error;
    lookup->result = result;
    lookup->finished = true;
    lookup->done.notify_one();
}

} // namespace

HttpConnection::HttpConnection(const QByteArray &host, int port)
    : m_host(host)
    , m_port(QByteArray::number(port))
{
}

HttpConnection::~HttpConnection()
{
    close();
}

bool HttpConnection::shouldContinue() const
{
    return !m_continueListener || m_continueListener->shouldContinue();
}

qint64 HttpConnection::deadline() const
{
    return std::min(nowMs() + m_idleLimitMs, m_overallDeadline);
}

bool HttpConnection::timedOut(const QString &reason)
{
    if (nowMs() >= m_overallDeadline)
        return fail(
            Failure::TimedOut,
            u"%1 gave no complete answer within %2 seconds"_s.arg(QString::fromLatin1(m_host))
                .arg(m_overallLimitMs / 1000.0));
    return fail(Failure::TimedOut, reason);
}

bool HttpConnection::fail(Failure failure, const QString &reason)
{
    m_failure = failure;
    m_errorString = reason;
    return false;
}

bool HttpConnection::resolve(const QByteArray &name, int flags, addrinfo **result)
{
    // getaddrinfo cannot be interrupted, so it runs on a thread of its own and a stop or the
    // idle limit leaves it behind instead of waiting for a resolver that hangs.
    const QString host = QString::fromLatin1(name);
    auto lookup = std::make_shared<Lookup>();
    lookup->host = name;
    lookup->port = m_port;
    try {
        std::thread(runLookup, lookup, flags).detach();
    } catch (const std::system_error &error) {
        return fail(Failure::Resolve,
                    u"Cannot resolve %1: %2"_s.arg(host, QString::fromLocal8Bit(error.what())));
    }

    const qint64 until = deadline();
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished) {
        const bool stopped = !shouldContinue();
        if (stopped || nowMs() >= until) {
            lookup->abandoned = true;
            return stopped
                ? fail(Failure::Stopped, u"Stopped"_s)
                : timedOut(u"Cannot resolve %1: no answer within %2 seconds"_s.arg(host).arg(
                    m_idleLimitMs / 1000.0));
        }
        lookup->done.wait_for(lock, std::chrono::milliseconds(sliceMs));
    }
    if (lookup->status != 0) {
        const QString reason = lookup->status == EAI_SYSTEM
            ? systemError(lookup->error)
            : QString::fromLocal8Bit(gai_strerror(lookup->status));
        return fail(Failure::Resolve, u"Cannot resolve %1: %2"_s.arg(host, reason));
    }
    *result = lookup->result;
    return true;
}

HttpConnection::Wait HttpConnection::waitFor(short events, qint64 deadlineMs)
{
    for (;;) {
        if (!shouldContinue())
            return Wait::Stopped;
        const qint64 left = deadlineMs - nowMs();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd entry{m_socket, events, 0};
        const int ready = ::poll(&entry, 1, int(std::min<qint64>(left, sliceMs)));
        if (ready < 0 && errno != EINTR)
            return Wait::Error;
        // Errors and hang-ups count as ready: the following call reports them.
        if (ready > 0)
            return Wait::Ready;
    }
}

bool HttpConnection::connectTo(const addrinfo *address)
{
    m_socket = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        address->ai_protocol);
    if (m_socket < 0) {
        m_socket = -1;
        return fail(Failure::Connect, u"Cannot open a socket: %1"_s.arg(systemError(errno)));
    }
    const QString target = u"Cannot connect to %1 port %2: "_s.arg(QString::fromLatin1(m_host),
                                                                   QString::fromLatin1(m_port));
    int error = 0;
    if (::connect(m_socket, address->ai_addr, address->ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            switch (waitFor(POLLOUT, deadline())) {
            case Wait::Ready: {
                socklen_t length = sizeof error;
                if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
                break;
            }
            case Wait::Stopped:
                close();
                return fail(Failure::Stopped, u"Stopped"_s);
            case Wait::TimedOut:
                close();
                return timedOut(target
                                + u"no answer within %1 seconds"_s.arg(m_idleLimitMs / 1000.0));
            case Wait::Error:
                error = errno;
                break;
            }
        }
    }
    if (error != 0) {
        close();
        return fail(Failure::Connect, target + systemError(error));
    }
    return true;
}

bool HttpConnection::connect()
{
    close();
    m_failure = Failure::None;
    m_errorString.clear();
    m_overallDeadline = nowMs() + m_overallLimitMs;
    // Each numeric address is looked up on its own; otherwise the host gives the list.
    const QList<QByteArray> names = m_addresses.isEmpty() ? QList<QByteArray>{m_host} : m_addresses;
    const int flags = m_addresses.isEmpty() ? 0 : AI_NUMERICHOST;
    const auto walkEnds = [this] {
        return m_failure == Failure::Stopped || nowMs() >= m_overallDeadline;
    };
    bool connected = false;
    for (const QByteArray &name : names) {
        addrinfo *addresses = nullptr;
        if (!resolve(name, flags, &addresses)) {
            if (walkEnds())
                return false;
            continue;
        }
        for (const addrinfo *address = addresses; address && !connected;
             address = address->ai_next) {
            if (!shouldContinue()) {
                fail(Failure::Stopped, u"Stopped"_s);
                break;
            }
            // A refusal or a time-out tries the next address, within the overall limit.
            connected = connectTo(address);
            if (walkEnds())
                break;
        }
        freeaddrinfo(addresses);
        if (connected || walkEnds())
            break;
    }
    if (connected) {
        m_failure = Failure::None;
        m_errorString.clear();
    } else if (m_failure == Failure::None) {
        fail(Failure::Connect,
             u"Cannot connect to %1: no address"_s.arg(QString::fromLatin1(m_host)));
    }
    return connected;
}

bool HttpConnection::sendRequest(const QByteArray &head)
{
    if (m_socket < 0)
        return fail(Failure::Send, u"Cannot send the request: not connected"_s);
    const QByteArray request = head + " HTTP/1.0\r\nHost: " + m_host + "\r\n\r\n";
    qsizetype sent = 0;
    qint64 until = deadline();
    while (sent < request.size()) {
        switch (waitFor(POLLOUT, until)) {
        case Wait::Ready:
            break;
        case Wait::Stopped:
            return fail(Failure::Stopped, u"Stopped"_s);
        case Wait::TimedOut:
            return timedOut(u"%1 took no request for %2 seconds"_s.arg(QString::fromLatin1(m_host))
                                .arg(m_idleLimitMs / 1000.0));
        case Wait::Error:
            return fail(Failure::Send, u"Cannot send the request: %1"_s.arg(systemError(errno)));
        }
        const ssize_t count = ::send(m_socket, request.constData() + sent,
                                     size_t(request.size() - sent), MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return fail(Failure::Send, u"Cannot send the request: %1"_s.arg(systemError(errno)));
        }
        sent += count;
        until = deadline();
    }
    return true;
}

bool HttpConnection::receiveLines(QList<QByteArray> *lines, const QByteArray &separators)
{
    if (m_socket < 0)
        return fail(Failure::Receive, u"Cannot read the answer: not connected"_s);
    const QString host = QString::fromLatin1(m_host);
    QByteArray response;
    char buffer[4096];
    qint64 until = deadline();
    for (;;) {
        switch (waitFor(POLLIN, until)) {
        case Wait::Ready:
            break;
        case Wait::Stopped:
            return fail(Failure::Stopped, u"Stopped"_s);
        case Wait::TimedOut:
            return timedOut(
                u"%1 sent nothing for %2 seconds"_s.arg(host).arg(m_idleLimitMs / 1000.0));
        case Wait::Error:
            return fail(Failure::Receive,
                        u"Cannot read the answer of %1: %2"_s.arg(host, systemError(errno)));
        }
        const ssize_t count = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return fail(Failure::Receive,
                        u"Cannot read the answer of %1: %2"_s.arg(host, systemError(errno)));
        }
        if (count == 0)
            break;
        // Every byte is kept, zero bytes too: cutting a chunk at one would lose the rest.
        response.append(buffer, count);
        if (response.size() > maxResponseBytes)
            return fail(Failure::TooLarge,
                        u"The answer of %1 is larger than %2 MiB"_s.arg(host).arg(maxResponseBytes
                                                                                  / (1024 * 1024)));
        until = deadline();
    }
    lines->append(splitLines(response, separators));
    return true;
}

void HttpConnection::close()
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

QList<QByteArray> HttpConnection::splitLines(const QByteArray &text, const QByteArray &separators)
{
    QList<QByteArray> lines;
    const QByteArrayView view(text);
    qsizetype position = 0;
    while (position < view.size()) {
        qsizetype end = position;
        while (end < view.size() && !separators.contains(view.at(end)))
            ++end;
        lines.append(view.sliced(position, std::min(end - position, maxLineBytes)).toByteArray());
        if (end == view.size())
            break;
        // The whole separator text is one line end; a lone separator character is one too.
        position = end + (view.sliced(end).startsWith(separators) ? separators.size() : 1);
    }
    return lines;
}
