#include "cddbtestserver.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray percentDecoded(const QByteArray &text)
{
    return QByteArray::fromPercentEncoding(text);
}

const QList<QByteArray> headers = {
    "Date: Tue, 08 Dec 2026 03:00:00 GMT",
    "Server: Apache/2.4.57 (Debian)",
    "Connection: close",
    "Content-Type: text/plain; charset=ISO-8859-1",
    "Cache-Control: no-cache",
    "Vary: Accept-Encoding",
};

} // namespace

CddbTestServer::~CddbTestServer()
{
    stop();
    if (m_blackholeFiller >= 0)
        ::close(m_blackholeFiller);
    if (m_blackhole >= 0)
        ::close(m_blackhole);
}

void CddbTestServer::setDripInterval(std::chrono::microseconds interval)
{
    std::lock_guard lock(m_mutex);
    m_dripInterval = interval;
}

bool CddbTestServer::startBlackhole(QString *error)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1);
    address.sin_port = htons(port());
    m_blackhole = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_blackholeFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // A backlog of 0 holds one connection that is never accepted; later ones get no answer.
    if (m_blackhole < 0 || m_blackholeFiller < 0
        || ::bind(m_blackhole, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_blackhole, 0) != 0
        || (::connect(m_blackholeFiller, reinterpret_cast<sockaddr *>(&address), sizeof address)
                != 0
            && errno != EINPROGRESS)) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void CddbTestServer::setMode(Mode mode)
{
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

void CddbTestServer::addDisc(const Disc &disc)
{
    std::lock_guard lock(m_mutex);
    m_discs.append(disc);
}

QList<QByteArray> CddbTestServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

QList<QByteArray> CddbTestServer::entryLines(const QList<int> &offsets, int discSeconds,
                                             const QByteArray &dtitle,
                                             const QList<QByteArray> &titles)
{
    QList<QByteArray> lines = {"# xmcd", "#", "# Track frame offsets:"};
    for (int offset : offsets)
        lines.append("#\t" + QByteArray::number(offset));
    lines << "#"
          << "# Disc length: " + QByteArray::number(discSeconds) + " seconds"
          << "#"
          << "# Revision: 3"
          << "# Submitted via: test 1.0"
          << "#"
          << "DISCID=7b0c0a0b"
          << "DTITLE=" + dtitle << "DYEAR=1999"
          << "DGENRE=Rock";
    for (qsizetype i = 0; i < titles.size(); ++i)
        lines.append("TTITLE" + QByteArray::number(i) + '=' + titles.at(i));
    lines << "EXTD="
          << "EXTT0="
          << "PLAYORDER=";
    return lines;
}

void CddbTestServer::handle(int client)
{
    const QByteArray request = readRequest(client, 8192);
    Mode mode;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(request);
        mode = m_mode;
    }
    if (mode == Mode::Silent)
        return hold(client);
    bool endless = false;
    QByteArray answer = answerFor(request, &endless);
    std::chrono::microseconds dripInterval;
    {
        std::lock_guard lock(m_mutex);
        dripInterval = m_dripInterval;
    }
    if (mode == Mode::LfOnly)
        answer.replace("\r\n", "\n");

    if (mode == Mode::Drip) {
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        for (qsizetype i = 0; i < answer.size() && sendAll(client, answer.constData() + i, 1); ++i)
            std::this_thread::sleep_for(dripInterval);
    } else if (sendAll(client, answer.constData(), answer.size()) && endless) {
        const QByteArray filler =
            QByteArray("misc 00000000 Filler / Without End\r\n").repeated(256);
        while (sendAll(client, filler.constData(), filler.size())) { }
    }
}

QByteArray CddbTestServer::answerFor(const QByteArray &request, bool *endless)
{
    std::lock_guard lock(m_mutex);
    QByteArray status;
    QList<QByteArray> body;
    const qsizetype cmdAt = request.indexOf("cmd=");
    const qsizetype lineEnd = request.indexOf(' ', request.indexOf(' ') + 1);
    QByteArray command = cmdAt < 0 ? QByteArray() : request.mid(cmdAt + 4, lineEnd - cmdAt - 4);
    command = command.left(command.indexOf('&'));
    QList<QByteArray> words = command.split('+');
    for (QByteArray &word : words)
        word = percentDecoded(word);

    if (m_mode == Mode::ErrorStatus) {
        status = "500 Command syntax error, command unknown, command unimplemented.";
    } else if (words.size() >= 3 && words.at(0) == "cddb" && words.at(1) == "album") {
        const QByteArray query = words.mid(2).join(' ').toLower();
        for (const Disc &disc : std::as_const(m_discs)) {
            if (disc.title.toLower().contains(query))
                body.append(disc.genre + ' ' + disc.discId + ' ' + disc.title);
        }
        *endless = m_mode == Mode::Endless;
        status = body.isEmpty() && !*endless
            ? "202 No match found."
            : "211 Found inexact matches, list follows (until terminating `.')";
    } else if (words.size() == 4 && words.at(0) == "cddb" && words.at(1) == "read") {
        status = "401 " + words.at(2) + ' ' + words.at(3) + " No such CD entry in database.";
        for (const Disc &disc : std::as_const(m_discs)) {
            if (disc.genre == words.at(2) && disc.discId == words.at(3)) {
                status = "210 " + disc.genre + ' ' + disc.discId
                    + " CD database entry follows (until terminating `.')";
                body = disc.entry;
            }
        }
    } else {
        status = "500 Command syntax error, command unknown, command unimplemented.";
    }

    QByteArray answer = "HTTP/1.1 200 OK\r\n";
    // Six header lines, as the freedb servers of old sent them.
    for (const QByteArray &header : headers)
        answer += header + "\r\n";
    answer += "\r\n" + status + "\r\n";
    for (const QByteArray &line : std::as_const(body))
        answer += line + "\r\n";
    if (status.startsWith("21") && !*endless)
        answer += ".\r\n";
    return answer;
}
