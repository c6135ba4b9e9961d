#include "loopbackserver.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool bindLoopback(int fd, quint16 *port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    *port = ntohs(address.sin_port);
    return true;
}

} // namespace

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    const std::lock_guard lock(m_heldMutex);
    for (int fd : std::as_const(m_heldClients))
        ::close(fd);
    m_heldClients.clear();
    for (int *fd : {&m_listener, &m_refusing}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool LoopbackServer::start(QString *error)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_refusing = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || m_refusing < 0 || !bindLoopback(m_listener, &m_port)
        || !bindLoopback(m_refusing, &m_refusingPort) || ::listen(m_listener, 8) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_thread = std::thread([this] { serve(); });
    return true;
}

void LoopbackServer::serve()
{
    while (!m_stop) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        // A short send time-out keeps the server responsive to its own stop.
        const timeval sendTimeout{0, 100 * 1000};
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
        handle(client);
        const std::lock_guard lock(m_heldMutex);
        if (!m_heldClients.contains(client))
            ::close(client);
    }
}

QByteArray LoopbackServer::readRequest(int client, qsizetype maxSize) const
{
    QByteArray request;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!request.contains("\r\n\r\n") && request.size() < maxSize && !m_stop
           && std::chrono::steady_clock::now() < giveUp) {
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        char buffer[1024];
        const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        request.append(buffer, count);
    }
    return request;
}

bool LoopbackServer::sendAll(int client, const char *data, qsizetype size) const
{
    while (size > 0 && !m_stop) {
        const ssize_t count = ::send(client, data, size_t(size), MSG_NOSIGNAL);
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return !m_stop;
}

void LoopbackServer::hold(int client)
{
    const std::lock_guard lock(m_heldMutex);
    m_heldClients.append(client);
}
