#include <QElapsedTimer>
#include <QTest>

#include "musicbrainz/answerparser.h"
#include "musicbrainz/client.h"
#include "musicbrainz/requestgate.h"
#include "musicbrainztestserver.h"
#include "stopafter.h"

using namespace Qt::StringLiterals;
using Failure = MusicBrainz::Client::Failure;
using TestServer = MusicBrainzTestServer;

namespace {

const QString tangoId = u"0d0f6d8c-6b0a-4a57-9e45-0f5a3a1d2c11"_s;
const QString doubleId = u"f3b0c6a2-1d2e-4c5b-8a9f-2b7c6d5e4f30"_s;

void addReleases(TestServer &server)
{
    server.addRelease(
        {tangoId,
         u"Caf\u00e9 Tango \"Live\""_s,
         {{u"Bj\u00f6rk"_s, u" & "_s}, {u"\u5742\u672c\u9f8d\u4e00"_s, {}}},
         u"1999-05"_s,
         u"JP"_s,
         {{u"CD"_s, {{u"One"_s, {{u"Bj\u00f6rk"_s, {}}}, 1500}, {u"Two"_s, {}, -1}}}}});
    server.addRelease({doubleId,
                       u"Two Discs"_s,
                       {{u"Band"_s, {}}},
                       u"2001"_s,
                       u"GB"_s,
                       {{u"CD"_s,
                         {{u"A"_s, {{u"Guest"_s, u" feat. "_s}, {u"Band"_s, {}}}, 1000},
                          {u"B"_s, {{u"Band"_s, {}}}, 2000}}},
                        {u"Vinyl"_s, {{u"C"_s, {{u"Band"_s, {}}}, 3000}}}}});
}

QStringList describe(const MusicBrainz::ReleaseList &releases)
{
    QStringList out;
    for (const auto &r : releases)
        out << u"%1|%2|%3|%4|%5|%6|%7"_s.arg(r.id.left(4), r.artist, r.title, r.date, r.country)
                   .arg(r.trackCount)
                   .arg(r.formats.join(u'+'));
    return out;
}

QStringList describe(const MusicBrainz::Release &release)
{
    QStringList out;
    for (const auto &e : release.entries)
        out << u"%1 %2|%3 %4"_s.arg(e.medium).arg(e.artist, e.title).arg(e.length);
    return out;
}

} // namespace

class tst_MusicBrainzClient : public QObject
{
    Q_OBJECT

private slots:
    void againstServer_data();
    void againstServer();
    void stopEndsSilentRequestAtOnce();
    void tracksFromLengths_data();
    void tracksFromLengths();
    void answerShapes_data();
    void answerShapes();
    void queryAndServerText_data();
    void queryAndServerText();
};

void tst_MusicBrainzClient::againstServer_data()
{
    QTest::addColumn<TestServer::Mode>("mode");
    QTest::addColumn<int>("busyAnswers");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("request"); // a release id, otherwise a search text
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QStringList>("result");
    QTest::addColumn<int>("requests");

    using Mode = TestServer::Mode;
    const QString local = u"local"_s;
    QTest::newRow("non-ASCII search, credits joined")
        << Mode::Normal << 0 << local << u"caf\u00e9 tango \"live"_s << Failure::None
        << QStringList{u"0d0f|Bj\u00f6rk & \u5742\u672c\u9f8d\u4e00|Caf\u00e9 Tango \"Live\"|1999-05|JP|2|CD"_s}
        << 1;
    QTest::newRow("search without match")
        << Mode::Normal << 0 << local << u"nothing"_s << Failure::None << QStringList{} << 1;
    QTest::newRow("multi-disc release in medium order")
        << Mode::Normal << 0 << local << doubleId << Failure::None
        << QStringList{u"1 Guest feat. Band|A 1000"_s, u"1 Band|B 2000"_s, u"2 Band|C 3000"_s} << 1;
    QTest::newRow("track without length reads as -1")
        << Mode::Normal << 0 << local << tangoId << Failure::None
        << QStringList{u"1 Bj\u00f6rk|One 1500"_s,
                       u"1 Bj\u00f6rk & \u5742\u672c\u9f8d\u4e00|Two -1"_s}
        << 1;
    QTest::newRow("unknown release is HTTP 404")
        << Mode::Normal << 0 << local << u"00000000-0000-0000-0000-000000000000"_s
        << Failure::HttpStatus << QStringList{} << 1;
    QTest::newRow("503 twice, then the answer")
        << Mode::Busy << 2 << local << doubleId << Failure::None
        << QStringList{u"1 Guest feat. Band|A 1000"_s, u"1 Band|B 2000"_s, u"2 Band|C 3000"_s} << 3;
    QTest::newRow("503 three times gives up")
        << Mode::Busy << 5 << local << u"tango"_s << Failure::HttpStatus << QStringList{} << 3;
    QTest::newRow("malformed JSON")
        << Mode::Malformed << 0 << local << u"tango"_s << Failure::NotJson << QStringList{} << 1;
    QTest::newRow("endless answer is capped")
        << Mode::Endless << 0 << local << u"tango"_s << Failure::TooLarge << QStringList{} << 1;
    QTest::newRow("silent server times out")
        << Mode::Silent << 0 << local << u"tango"_s << Failure::TimedOut << QStringList{} << 1;
    QTest::newRow("refused port") << Mode::Normal << 0 << u"refusing"_s << u"tango"_s
                                  << Failure::Connect << QStringList{} << 0;
    QTest::newRow("name that does not resolve")
        << Mode::Normal << 0 << u"http://no-such-host.invalid"_s << u"tango"_s << Failure::Resolve
        << QStringList{} << 0;
    QTest::newRow("not a release id sends nothing")
        << Mode::Normal << 0 << local << u"0d0f6d8c-6b0a-4a57-9e45-0f5a3a1d2c1"_s
        << Failure::BadRequest << QStringList{} << 0;
}

void tst_MusicBrainzClient::againstServer()
{
    QFETCH(TestServer::Mode, mode);
    QFETCH(int, busyAnswers);
    QFETCH(QString, server);
    QFETCH(QString, request);
    QFETCH(Failure, failure);
    QFETCH(QStringList, result);
    QFETCH(int, requests);

    TestServer testServer;
    QVERIFY(testServer.start());
    testServer.setMode(mode, busyAnswers);
    addReleases(testServer);
    if (server == u"local"_s)
        server = testServer.url();
    else if (server == u"refusing"_s)
        server = u"http://127.0.0.1:%1"_s.arg(testServer.refusingPort());

    MusicBrainz::Server address;
    QVERIFY(MusicBrainz::Server::parse(server, &address));
    MusicBrainz::Client client(address);
    client.setTimeLimits(700, 5000);
    QStringList got;
    bool ok = false;
    if (request.count(u'-') == 4) {
        MusicBrainz::Release release;
        ok = client.readRelease(request, &release);
        got = describe(release);
    } else {
        MusicBrainz::ReleaseList releases;
        ok = client.search(request, &releases);
        got = describe(releases);
    }
    QCOMPARE(client.failure(), failure);
    QCOMPARE(ok, failure == Failure::None);
    QCOMPARE(client.errorString().isEmpty(), ok);
    QCOMPARE(got, result);

    // Every request names us and keeps a second from the one before.
    const QList<TestServer::Request> seen = testServer.requests();
    QCOMPARE(seen.size(), requests);
    for (qsizetype i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen.at(i).userAgent, MusicBrainz::Client::userAgent());
        QVERIFY(seen.at(i).target.startsWith("/ws/2/release/"));
        if (i > 0)
            QCOMPARE_GE(seen.at(i).atMs - seen.at(i - 1).atMs,
                        MusicBrainz::RequestGate::intervalMs - 20);
    }
}

void tst_MusicBrainzClient::stopEndsSilentRequestAtOnce()
{
    TestServer server;
    QVERIFY(server.start());
    server.setMode(TestServer::Mode::Silent);
    MusicBrainz::Server address;
    QVERIFY(MusicBrainz::Server::parse(server.url(), &address));
    MusicBrainz::Client client(address);
    QVERIFY(MusicBrainz::RequestGate::waitTurn(nullptr));
    StopAfter listener(1500);
    client.setContinueListener(&listener);
    QElapsedTimer clock;
    clock.start();
    MusicBrainz::ReleaseList releases;
    QVERIFY(!client.search(u"tango"_s, &releases));
    QCOMPARE(client.failure(), Failure::Stopped);
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE_LT(clock.elapsed(), 1500 + 200);
}

void tst_MusicBrainzClient::tracksFromLengths_data()
{
    QTest::addColumn<QList<int>>("lengths");
    QTest::addColumn<QStringList>("tracks");

    QTest::newRow("starts add up, last ends at its length")
        << QList<int>{1000, 2500, 300}
        << QStringList{u"1 0-1000"_s, u"2 1000-3500"_s, u"3 3500-3800"_s};
    QTest::newRow("last without length is left for the MP3's end")
        << QList<int>{1000, -1} << QStringList{u"1 0-1000"_s, u"2 1000-1000"_s};
    QTest::newRow("a middle track without length gives no boundaries")
        << QList<int>{1000, -1, 500} << QStringList{};
    QTest::newRow("no tracks") << QList<int>{} << QStringList{};
}

void tst_MusicBrainzClient::tracksFromLengths()
{
    QFETCH(QList<int>, lengths);
    QFETCH(QStringList, tracks);

    MusicBrainz::Release release;
    for (int length : lengths)
        release.entries.append({u"t"_s, u"a"_s, length, 1});
    TrackContainer made{Track{u"kept"_s, {}, 1, 0, 1}};
    QString error;
    QCOMPARE(release.toTracks(&made, &error), !tracks.isEmpty());
    QStringList got;
    for (const Track &t : made)
        got << u"%1 %2-%3"_s.arg(t.number).arg(t.start).arg(t.end);
    QCOMPARE(got, tracks.isEmpty() ? QStringList{u"1 0-1"_s} : tracks);
    QCOMPARE(error.isEmpty(), !tracks.isEmpty());
}

void tst_MusicBrainzClient::answerShapes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("media out of order, recording length and credit fill in")
        << QByteArray(R"({"title":"R","artist-credit":[{"name":"X"}],"media":[
               {"position":2,"tracks":[{"title":"B","length":5}]},
               {"position":1,"tracks":[{"recording":{"title":"A","length":7,
                 "artist-credit":[{"artist":{"name":"Y"}}]}}]}]})")
        << true << QStringList{u"1 Y|A 7"_s, u"2 X|B 5"_s};
    QTest::newRow("hostile numbers are no lengths")
        << QByteArray(R"({"media":[{"position":1e300,"tracks":[{"title":"A","length":-5},
               {"title":"B","length":1e20},{"title":"C","length":"12"}]}]})")
        << true << QStringList{u"1 |A -1"_s, u"1 |B -1"_s, u"1 |C -1"_s};
    QTest::newRow("no media") << QByteArray(R"({"title":"R"})") << false << QStringList{};
    QTest::newRow("array, not object") << QByteArray("[1]") << false << QStringList{};
    QTest::newRow("cut off") << QByteArray(R"({"media":[)") << false << QStringList{};
}

void tst_MusicBrainzClient::answerShapes()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QStringList, entries);

    MusicBrainz::Release release;
    QString error;
    QCOMPARE(MusicBrainz::AnswerParser::parseRelease(json, &release, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(describe(release), entries);
}

void tst_MusicBrainzClient::queryAndServerText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("query: quotes and backslash escaped")
        << u"  a\"b \\ c:d "_s << u"\"a\\\"b \\\\ c:d\""_s;
    QTest::newRow("server: https, slash dropped")
        << u"https://mb.example/mirror/"_s << u"https://mb.example/mirror"_s;
    QTest::newRow("server: http with port")
        << u"http://127.0.0.1:5000"_s << u"http://127.0.0.1:5000"_s;
    QTest::newRow("server: ftp refused") << u"ftp://mb.example"_s << QString();
    QTest::newRow("server: bare host refused") << u"musicbrainz.org"_s << QString();
}

void tst_MusicBrainzClient::queryAndServerText()
{
    QFETCH(QString, text);
    QFETCH(QString, result);

    if (QTest::currentDataTag()[0] == 'q') {
        QCOMPARE(MusicBrainz::Client::luceneQuery(text), result);
        return;
    }
    MusicBrainz::Server server;
    QCOMPARE(MusicBrainz::Server::parse(text, &server), !result.isEmpty());
    QCOMPARE(server.url.toString(), result.isEmpty() ? u"https://musicbrainz.org"_s : result);
}

QTEST_GUILESS_MAIN(tst_MusicBrainzClient)
#include "tst_musicbrainzclient.moc"
