#include "musicbrainztestserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QJsonArray credit(const QList<MusicBrainzTestServer::Credit> &credits)
{
    QJsonArray array;
    for (const auto &part : credits) {
        const QJsonObject artist{{u"id"_s, u"5b11f4ce-a62d-471e-81fc-a69a8278c7da"_s},
                                 {u"name"_s, part.name},
                                 {u"sort-name"_s, part.name}};
        array.append(QJsonObject{
            {u"name"_s, part.name}, {u"joinphrase"_s, part.joinPhrase}, {u"artist"_s, artist}});
    }
    return array;
}

QJsonValue length(int ms)
{
    return ms < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(ms);
}

int trackCount(const MusicBrainzTestServer::Release &release)
{
    int count = 0;
    for (const auto &medium : release.media)
        count += int(medium.tracks.size());
    return count;
}

QJsonObject releaseHead(const MusicBrainzTestServer::Release &release)
{
    return {{u"id"_s, release.id},           {u"title"_s, release.title},
            {u"status"_s, u"Official"_s},    {u"date"_s, release.date},
            {u"country"_s, release.country}, {u"artist-credit"_s, credit(release.artist)}};
}

QJsonObject lookupAnswer(const MusicBrainzTestServer::Release &release)
{
    QJsonObject root = releaseHead(release);
    QJsonArray media;
    for (qsizetype m = 0; m < release.media.size(); ++m) {
        const auto &medium = release.media.at(m);
        QJsonArray tracks;
        for (qsizetype t = 0; t < medium.tracks.size(); ++t) {
            const auto &track = medium.tracks.at(t);
            const QJsonObject recording{{u"id"_s, u"0f42ab32-22cd-4dcf-927b-a8d9a183d68b"_s},
                                        {u"title"_s, track.title},
                                        {u"length"_s, length(track.length)},
                                        {u"artist-credit"_s, credit(track.artist)}};
            tracks.append(QJsonObject{{u"id"_s, u"8e1b4e3c-f6b2-3b5c-bc1e-3a0b5c6a2b1d"_s},
                                      {u"position"_s, int(t + 1)},
                                      {u"number"_s, QString::number(t + 1)},
                                      {u"title"_s, track.title},
                                      {u"length"_s, length(track.length)},
                                      {u"artist-credit"_s, credit(track.artist)},
                                      {u"recording"_s, recording}});
        }
        media.append(QJsonObject{{u"position"_s, int(m + 1)},
                                 {u"format"_s, medium.format},
                                 {u"title"_s, QString()},
                                 {u"track-offset"_s, 0},
                                 {u"track-count"_s, int(tracks.size())},
                                 {u"tracks"_s, tracks}});
    }
    root.insert(u"media"_s, media);
    return root;
}

QByteArray httpAnswer(int status, const QByteArray &reason, const QByteArray &body,
                      const QByteArray &extraHeader = {})
{
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n"
        + "Date: Tue, 08 Dec 2026 03:00:00 GMT\r\nServer: openresty\r\n"
          "Content-Type: application/json; charset=utf-8\r\nConnection: close\r\n";
    if (!extraHeader.isEmpty())
        answer += extraHeader + "\r\n";
    return answer + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace

MusicBrainzTestServer::~MusicBrainzTestServer()
{
    stop();
}

QString MusicBrainzTestServer::url() const
{
    return u"http://127.0.0.1:%1"_s.arg(port());
}

void MusicBrainzTestServer::setMode(Mode mode, int busyAnswers)
{
    std::lock_guard lock(m_mutex);
    m_mode = mode;
    m_busyAnswers = busyAnswers;
}

void MusicBrainzTestServer::addRelease(const Release &release)
{
    std::lock_guard lock(m_mutex);
    m_releases.append(release);
}

QList<MusicBrainzTestServer::Request> MusicBrainzTestServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void MusicBrainzTestServer::handle(int client)
{
    const QByteArray request = readRequest(client, 16384);
    Request seen;
    seen.atMs = nowMs();
    const QList<QByteArray> lines = request.split('\n');
    seen.target = lines.value(0).split(' ').value(1);
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("user-agent:"))
            seen.userAgent = line.mid(11).trimmed();
    }
    Mode mode;
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(seen);
        mode = m_mode;
    }
    if (mode == Mode::Silent)
        return hold(client);
    bool endless = false;
    const QByteArray answer = answerFor(seen.target, &endless);
    if (sendAll(client, answer.constData(), answer.size()) && endless) {
        const QByteArray filler = QByteArray("{\"id\": \"x\"},").repeated(1024);
        while (sendAll(client, filler.constData(), filler.size())) { }
    }
}

QByteArray MusicBrainzTestServer::answerFor(const QByteArray &target, bool *endless)
{
    std::lock_guard lock(m_mutex);
    if (m_mode == Mode::Busy && m_busyAnswers > 0) {
        --m_busyAnswers;
        return httpAnswer(503, "Service Temporarily Unavailable",
                          R"({"error":"Your requests are exceeding the allowable rate limit."})",
                          "Retry-After: 1");
    }
    if (m_mode == Mode::Malformed)
        return httpAnswer(200, "OK", "<html><body>Bad Gateway</body></html>");
    if (m_mode == Mode::Endless) {
        *endless = true;
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n"
               "{\"releases\": [";
    }

    const QByteArray path = target.left(target.indexOf('?'));
    const QUrlQuery query(QString::fromUtf8(target.mid(target.indexOf('?') + 1)));
    const QByteArray prefix = "/ws/2/release/";
    if (!path.startsWith(prefix))
        return httpAnswer(404, "Not Found", R"({"error":"Not Found"})");
    const QString id = QString::fromUtf8(path.mid(prefix.size()));
    if (id.isEmpty()) {
        // The Lucene phrase, unquoted; a release matches when its title or artist holds it.
        QString phrase = query.queryItemValue(u"query"_s, QUrl::FullyDecoded);
        phrase = phrase.mid(1, phrase.size() - 2)
                     .replace(u"\\\""_s, u"\""_s)
                     .replace(u"\\\\"_s, u"\\"_s);
        QJsonArray releases;
        for (const Release &release : std::as_const(m_releases)) {
            QString artist;
            for (const Credit &part : release.artist)
                artist += part.name + part.joinPhrase;
            if (!release.title.contains(phrase, Qt::CaseInsensitive)
                && !artist.contains(phrase, Qt::CaseInsensitive))
                continue;
            QJsonObject object = releaseHead(release);
            object.insert(u"score"_s, 100);
            object.insert(u"track-count"_s, trackCount(release));
            QJsonArray media;
            for (const Medium &medium : release.media)
                media.append(QJsonObject{{u"format"_s, medium.format},
                                         {u"disc-count"_s, 1},
                                         {u"track-count"_s, int(medium.tracks.size())}});
            object.insert(u"media"_s, media);
            releases.append(object);
        }
        const QJsonObject root{{u"created"_s, u"2026-12-08T03:00:00.000Z"_s},
                               {u"count"_s, int(releases.size())},
                               {u"offset"_s, 0},
                               {u"releases"_s, releases}};
        return httpAnswer(200, "OK", QJsonDocument(root).toJson(QJsonDocument::Compact));
    }
    for (const Release &release : std::as_const(m_releases)) {
        if (release.id == id)
            return httpAnswer(200, "OK",
                              QJsonDocument(lookupAnswer(release)).toJson(QJsonDocument::Compact));
    }
    return httpAnswer(404, "Not Found", R"({"error":"Not Found"})");
}
