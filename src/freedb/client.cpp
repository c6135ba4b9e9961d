#include "freedb/client.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcFreedb, "mavlor.freedb", QtInfoMsg)

const QByteArray cgiPath = "/~cddb/cddb.cgi";
const QByteArray greeting = "&hello=nouser+mavlor&proto=5";
const QByteArray lineEnd = "\r\n";

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// A status line of three digits; anything else is not a CDDB (or HTTP) status.
int statusCode(QByteArrayView text)
{
    if (text.size() < 3 || (text.size() > 3 && text.at(3) != ' ' && text.at(3) != '-'))
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (text.at(i) < '0' || text.at(i) > '9')
            return -1;
        code = code * 10 + (text.at(i) - '0');
    }
    return code;
}

QString quoted(const QByteArray &line)
{
    return QString::fromLatin1(line.left(160)).trimmed();
}

} // namespace

namespace Freedb {

Client::Client(const Server &server)
    : m_server(server)
{
}

bool Client::fail(HttpConnection::Failure failure, const QString &reason)
{
    m_failure = failure;
    m_errorString = reason;
    return false;
}

QByteArray Client::encodeQueryValue(const QByteArray &value)
{
    QByteArray encoded;
    encoded.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ')
            encoded += '+';
        else if (byte < 0x20 || byte == 0x7f || c == '%' || c == '&' || c == '#' || c == '+')
            encoded += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        else
            encoded += c;
    }
    return encoded;
}

bool Client::exchange(const QByteArray &command, QList<QByteArray> *lines, bool diagnose)
{
    HttpConnection http(m_server.host, m_server.port);
    http.setContinueListener(m_continueListener);
    if (!http.connect() || !http.sendRequest("GET " + cgiPath + command + greeting)) {
        if (diagnose)
            qCDebug(lcFreedb) << "Something wrong. Check connect to the internet";
        return fail(http.failure(), http.errorString());
    }
    QList<QByteArray> received;
    if (!http.receiveLines(&received, lineEnd))
        return fail(http.failure(), http.errorString());
    http.close();
    QString error;
    if (!checkAnswer(received, &error))
        return fail(HttpConnection::Failure::Receive, error);
    *lines = received;
    m_failure = HttpConnection::Failure::None;
    m_errorString.clear();
    return true;
}

bool Client::searchAlbum(const QByteArray &query)
{
    QList<QByteArray> lines;
    if (!exchange("?cmd=cddb+album+" + encodeQueryValue(query), &lines, true))
        return false;
    CDContainer found;
    parseSearchResponse(lines, &found, nullptr, &m_discsCut);
    m_discs = found;
    return true;
}

bool Client::readDisc(int index, QList<QByteArray> *lines)
{
    if (index < 0 || index >= m_discs.size())
        return fail(HttpConnection::Failure::None, u"No such disc"_s);
    return readDisc(m_discs.at(index), lines);
}

bool Client::readDisc(const CD &disc, QList<QByteArray> *lines)
{
    lines->clear();
    return exchange("?cmd=cddb+read+" + encodeQueryValue(disc.genre) + '+'
                        + encodeQueryValue(disc.discId),
                    lines, false);
}

bool Client::checkAnswer(const QList<QByteArray> &lines, QString *error, qsizetype *answerStart)
{
    auto reject = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (lines.isEmpty())
        return reject(u"the server closed the connection without an answer"_s);
    if (lines.first().startsWith("HTTP/")) {
        const qsizetype space = lines.first().indexOf(' ');
        const int code =
            space < 0 ? -1 : statusCode(QByteArrayView(lines.first()).sliced(space + 1));
        if (code < 200 || code > 299)
            return reject(u"the server answered %1"_s.arg(quoted(lines.first())));
    }
    const qsizetype blank = lines.indexOf(QByteArray());
    if (blank < 0 || blank + 1 >= lines.size() || statusCode(lines.at(blank + 1)) < 0)
        return reject(u"the server sent no CDDB answer"_s);
    const int code = statusCode(lines.at(blank + 1));
    if (code >= 400)
        return reject(u"CDDB error %1"_s.arg(quoted(lines.at(blank + 1))));
    if (answerStart)
        *answerStart = blank + 1;
    return true;
}

bool Client::parseSearchResponse(const QList<QByteArray> &lines, CDContainer *discs, QString *error,
                                 bool *cut)
{
    qsizetype status = 0;
    if (cut)
        *cut = false;
    if (!checkAnswer(lines, error, &status))
        return false;
    qsizetype kept = 0;
    for (qsizetype i = status + 1; i < lines.size(); ++i) {
        CD disc;
        if (!parseDiscLine(lines.at(i), &disc))
            continue;
        if (kept == maxDiscs) {
            if (cut)
                *cut = true;
            break;
        }
        discs->append(disc);
        ++kept;
    }
    return true;
}

bool Client::parseDiscLine(const QByteArray &line, CD *disc)
{
    const qsizetype size = line.size();
    qsizetype pos = 0;
    while (pos < size && isSpace(line.at(pos)))
        ++pos;
    const qsizetype genreStart = pos;
    while (pos < size && line.at(pos) != ' ')
        ++pos;
    const qsizetype genreEnd = pos;
    while (pos < size && isSpace(line.at(pos)))
        ++pos;
    const qsizetype idStart = pos;
    while (pos < size && line.at(pos) != ' ')
        ++pos;
    const qsizetype idEnd = pos;
    // The title is everything after the one space that ends the id.
    if (genreEnd == genreStart || idEnd == idStart || idEnd + 1 >= size)
        return false;
    disc->genre = line.sliced(genreStart, genreEnd - genreStart);
    disc->discId = line.sliced(idStart, idEnd - idStart);
    disc->title = line.sliced(idEnd + 1).left(maxTitleBytes);
    return true;
}

} // namespace Freedb
