#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include "cddbtestserver.h"
#include "freedb/client.h"
#include "freedb/discentry.h"
#include "freedb/httpconnection.h"

using namespace Qt::StringLiterals;

namespace {

QByteArrayList split(const QByteArray &text)
{
    return HttpConnection::splitLines(text, "\r\n");
}

// A response with the given number of HTTP header lines around a CDDB answer.
QByteArray response(const QByteArray &answer, int headerLines = 6)
{
    QByteArray text = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < headerLines; ++i)
        text += "X-Header-" + QByteArray::number(i) + ": v\r\n";
    return text + "\r\n" + answer;
}

QByteArray entry(const QByteArray &offsets, const QByteArray &rest)
{
    return response(
        "210 rock 7b0c0a0b CD database entry follows\r\n# xmcd\r\n#\r\n# Track frame offsets:\r\n"
        + offsets + "#\r\n# Disc length: 600 seconds\r\n#\r\n" + rest + ".\r\n");
}

QStringList describe(const Freedb::CDContainer &discs)
{
    QStringList out;
    for (const Freedb::CD &disc : discs)
        out << QString::fromLatin1(disc.genre + '|' + disc.discId + '|' + disc.title);
    return out;
}

QStringList describe(const TrackContainer &tracks)
{
    QStringList out;
    for (const Track &t : tracks)
        out << u"%1 %2-%3 %4|%5"_s.arg(t.number).arg(t.start).arg(t.end).arg(t.artist, t.title);
    return out;
}

const QByteArray threeOffsets = "#\t150\r\n#\t21052\r\n#     40000\r\n";

} // namespace

class tst_FreedbClient : public QObject
{
    Q_OBJECT

private slots:
    void searchResponse_data();
    void searchResponse();
    void discEntry_data();
    void discEntry();
    void albumNameNotFiledUnderArtist_data();
    void albumNameNotFiledUnderArtist();
    void commandsAgainstServer_data();
    void commandsAgainstServer();
    void readOfUnlistedDiscFails();
    void serverFromSettings_data();
    void serverFromSettings();
};

void tst_FreedbClient::searchResponse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("discs");
    QTest::addColumn<bool>("cut");

    QTest::newRow("six headers, disc on the tenth line")
        << response("211 Found inexact matches\r\nrock 7b0c0a0b Some Band / Some Album\r\n.\r\n")
        << true << QStringList{u"rock|7b0c0a0b|Some Band / Some Album"_s} << false;
    QTest::newRow("two headers, answer after the blank line")
        << response("211 Found\r\n  misc 0a0b0c0d Caf\xe9 / Live\r\nrock 7b0c0a0b X\r\n.\r\n", 2)
        << true << QStringList{u"misc|0a0b0c0d|Caf\u00e9 / Live"_s, u"rock|7b0c0a0b|X"_s} << false;
    QTest::newRow("two-word lines and dot are no discs")
        << response("211 Found\r\nrock 7b0c0a0b\r\nrock 7b0c0a0b \r\n\r\n.\r\n") << true
        << QStringList{} << false;
    QTest::newRow("no match") << response("202 No match found.\r\n") << true << QStringList{}
                              << false;
    QTest::newRow("CDDB error status")
        << response("500 Command syntax error\r\n") << false << QStringList{} << false;
    QTest::newRow("CDDB error status 401")
        << response("401 No such entry\r\n", 3) << false << QStringList{} << false;
    QTest::newRow("HTTP error page")
        << QByteArray("HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n<html>\r\nrock 7b0c0a0b junk\r\n")
        << false << QStringList{} << false;
    QTest::newRow("no blank line")
        << QByteArray("HTTP/1.1 200 OK\r\nServer: x\r\n") << false << QStringList{} << false;
    QTest::newRow("HTML instead of a CDDB answer")
        << response("<html><body>rock 7b0c0a0b junk\r\n") << false << QStringList{} << false;
    QTest::newRow("closed without a byte") << QByteArray() << false << QStringList{} << false;
    const QByteArray many = QByteArray("rock 7b0c0a0b Band / Album\r\n").repeated(600);
    QTest::newRow("600 discs, 500 kept")
        << response("211 Found\r\n" + many + ".\r\n") << true
        << QStringList(500, u"rock|7b0c0a0b|Band / Album"_s) << true;
    QTest::newRow("1 MiB title cut")
        << response("211 Found\r\nrock 7b0c0a0b " + QByteArray(1 << 20, 'x') + "\r\n.\r\n") << true
        << QStringList{u"rock|7b0c0a0b|"_s + QString(256, u'x')} << false;
}

void tst_FreedbClient::searchResponse()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(QStringList, discs);
    QFETCH(bool, cut);

    Freedb::CDContainer found;
    QString error;
    bool wasCut = !cut;
    QCOMPARE(Freedb::Client::parseSearchResponse(split(text), &found, &error, &wasCut), ok);
    QCOMPARE(describe(found), discs);
    QCOMPARE(wasCut, cut);
    QCOMPARE(error.isEmpty(), ok);
}

void tst_FreedbClient::discEntry_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("tracks");

    const QByteArray titles =
        "DTITLE=Some Band / Some Album\r\nTTITLE0=One\r\nTTITLE1=AC/DC\r\nTTITLE2=Caf\xe9\r\n";
    QTest::newRow("150, 21052, 40000 on a 600 s disc")
        << entry(threeOffsets, titles)
        << QStringList{u"1 0-278693 Some Band|One"_s, u"2 278693-531333 Some Band|AC/DC"_s,
                       u"3 531333-600000 Some Band|Caf\u00e9"_s};
    QTest::newRow("offset 0 starts before the file")
        << entry("#\t0\r\n", "DTITLE=A\\B\r\nTTITLE0=T\r\n")
        << QStringList{u"1 -2000-600000 A\\B|T"_s};
    QTest::newRow("fewer titles than offsets")
        << entry(threeOffsets, "DTITLE=Band\r\nTTITLE0=One\r\nTTITLE1=Two\r\n")
        << QStringList{u"1 0-278693 Band|One"_s, u"2 278693-531333 Band|Two"_s,
                       u"0 531333-600000 |"_s};
    QTest::newRow("extra titles ignored")
        << entry("#\t150\r\n", "DTITLE=Band\r\nTTITLE0=One\r\nTTITLE1=Two\r\nTTITLE2\r\n")
        << QStringList{u"1 0-600000 Band|One"_s};
    QTest::newRow("titles in line order, key numbers unread")
        << entry("#\t150\r\n#\t300\r\n", "DTITLE=B\r\nTTITLE1=First\r\nTTITLE0=Second\r\n")
        << QStringList{u"1 0-2000 B|First"_s, u"2 2000-600000 B|Second"_s};
    QTest::newRow("no offsets") << entry("#\r\n", titles) << QStringList{};
    QTest::newRow("no DTITLE") << entry(threeOffsets, "TTITLE0=One\r\n") << QStringList{};
    QTest::newRow("DTITLE without =")
        << entry(threeOffsets, "DTITLE Band\r\nTTITLE0=One\r\n") << QStringList{};
    QTest::newRow("TTITLE without =")
        << entry(threeOffsets, "DTITLE=B\r\nTTITLE0 One\r\n") << QStringList{};
    QTest::newRow("no disc length")
        << response("210 x\r\n# Track frame offsets:\r\n#\t150\r\nDTITLE=B\r\nTTITLE0=One\r\n")
        << QStringList{};
    QTest::newRow("no offsets marker")
        << response("210 x\r\n# Disc length: 9\r\nDTITLE=B\r\n") << QStringList{};
    QTest::newRow("offset beyond any CD")
        << entry("#\t99999999999\r\n", "DTITLE=B\r\nTTITLE0=One\r\n") << QStringList{};
}

void tst_FreedbClient::discEntry()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, tracks);

    const Freedb::DiscEntry parsed(split(text));
    QCOMPARE(parsed.isValid(), !tracks.isEmpty());
    QCOMPARE(describe(parsed.tracks()), tracks);
}

void tst_FreedbClient::albumNameNotFiledUnderArtist_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("album"); // album artist|album|year|genre
    QTest::addColumn<QStringList>("tracks");

    QTest::newRow("artist / album, DYEAR, DGENRE")
        << entry("#\t150\r\n",
                 "DTITLE=Some Band / Some Album\r\nDYEAR=1994\r\n"
                 "DGENRE=Alt Rock\r\nTTITLE0=AC/DC\r\n")
        << u"Some Band|Some Album|1994|Alt Rock"_s << QStringList{u"1 0-600000 Some Band|AC/DC"_s};
    QTest::newRow("no ' / ': artist and album alike")
        << entry("#\t150\r\n", "DTITLE=AC/DC\r\nTTITLE0=T\r\n") << u"AC/DC|AC/DC||"_s
        << QStringList{u"1 0-600000 AC/DC|T"_s};
    QTest::newRow("compilation track names its own artist")
        << entry("#\t150\r\n#\t300\r\n",
                 "DTITLE=Various / Hits\r\nTTITLE0=Band A / Song\r\nTTITLE1=Plain\r\n")
        << u"Various|Hits||"_s
        << QStringList{u"1 0-2000 Band A|Song"_s, u"2 2000-600000 Various|Plain"_s};
}

void tst_FreedbClient::albumNameNotFiledUnderArtist()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, album);
    QFETCH(QStringList, tracks);

    const Freedb::DiscEntry parsed(split(text));
    const Album read = parsed.album();
    QCOMPARE(QStringList({read.albumArtist, read.album, read.year, read.genre}).join(u'|'), album);
    QCOMPARE(describe(parsed.tracks()), tracks);
}

void tst_FreedbClient::commandsAgainstServer_data()
{
    QTest::addColumn<CddbTestServer::Mode>("mode");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QStringList>("discs");
    QTest::addColumn<QString>("error");

    using Mode = CddbTestServer::Mode;
    const QStringList both{u"rock|7b0c0a0b|Caf\u00e9 Tango / Some Album"_s,
                           u"jazz|0a0b0c0d|Caf\u00e9 Tango / Live"_s};
    QTest::newRow("Latin-1 query, two discs")
        << Mode::Normal << QByteArray("caf\xe9 tango") << both << QString();
    QTest::newRow("CDDB error status")
        << Mode::ErrorStatus << QByteArray("tango") << QStringList{} << u"CDDB error 500"_s;
}

void tst_FreedbClient::commandsAgainstServer()
{
    QFETCH(CddbTestServer::Mode, mode);
    QFETCH(QByteArray, query);
    QFETCH(QStringList, discs);
    QFETCH(QString, error);

    CddbTestServer server;
    QVERIFY(server.start());
    server.setMode(mode);
    server.addDisc(
        {"rock", "7b0c0a0b", "Caf\xe9 Tango / Some Album",
         CddbTestServer::entryLines({150, 21052, 40000}, 600, "Caf\xe9 Tango / Some Album",
                                    {"One", "Two", "Three"})});
    server.addDisc({"jazz", "0a0b0c0d", "Caf\xe9 Tango / Live",
                    CddbTestServer::entryLines({150, 7650}, 300, "Caf\xe9 Tango / Live",
                                               {"Intro", "Encore"})});

    Freedb::Client client(Freedb::Server{"127.0.0.1", server.port()});
    QCOMPARE(client.searchAlbum(query), error.isEmpty());
    QVERIFY2(client.errorString().startsWith(error), qPrintable(client.errorString()));
    QCOMPARE(describe(client.discs()), discs);
    QCOMPARE(server.requests().value(0).left(server.requests().value(0).indexOf("\r\n")),
             "GET /~cddb/cddb.cgi?cmd=cddb+album+" + query.replace(' ', '+')
                 + "&hello=nouser+mavlor&proto=5 HTTP/1.0");
    if (discs.isEmpty())
        return;

    // Reading the last listed disc gives its entry, with the last end at the disc length.
    QByteArrayList lines;
    QVERIFY(client.readDisc(int(discs.size() - 1), &lines));
    const Freedb::DiscEntry parsed(lines);
    const TrackContainer tracks = parsed.tracks();
    QVERIFY(!tracks.isEmpty());
    QCOMPARE(tracks.last().end, 300000);
    QCOMPARE(tracks.last().artist, u"Caf\u00e9 Tango"_s);
    QVERIFY(server.requests().last().startsWith(
        "GET /~cddb/cddb.cgi?cmd=cddb+read+jazz+0a0b0c0d&hello=nouser+mavlor&proto=5 "
        "HTTP/1.0\r\n"));
}

void tst_FreedbClient::readOfUnlistedDiscFails()
{
    CddbTestServer server;
    QVERIFY(server.start());
    Freedb::Client client(Freedb::Server{"127.0.0.1", server.port()});
    QByteArrayList lines;
    QVERIFY(!client.readDisc(0, &lines));
    QVERIFY(server.requests().isEmpty());
    QVERIFY(!client.readDisc(Freedb::CD{"7b0c0a0b", "rock", {}}, &lines));
    QVERIFY2(client.errorString().startsWith(u"CDDB error 401"_s),
             qPrintable(client.errorString()));
}

void tst_FreedbClient::serverFromSettings_data()
{
    QTest::addColumn<QVariant>("host");
    QTest::addColumn<QVariant>("port");
    QTest::addColumn<QByteArray>("expectedHost");
    QTest::addColumn<int>("expectedPort");

    QTest::newRow("nothing set") << QVariant() << QVariant() << QByteArray("freedb.dbpoweramp.com")
                                 << 80;
    QTest::newRow("both set") << QVariant(u"gnu.example"_s) << QVariant(8880)
                              << QByteArray("gnu.example") << 8880;
    QTest::newRow("bad values ignored") << QVariant(u"evil\r\nX: 1"_s) << QVariant(u"http"_s)
                                        << QByteArray("freedb.dbpoweramp.com") << 80;
    QTest::newRow("port out of range")
        << QVariant() << QVariant(70000) << QByteArray("freedb.dbpoweramp.com") << 80;
}

void tst_FreedbClient::serverFromSettings()
{
    QFETCH(QVariant, host);
    QFETCH(QVariant, port);
    QFETCH(QByteArray, expectedHost);
    QFETCH(int, expectedPort);

    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(u"MavlorTest"_s);
    QCoreApplication::setApplicationName(u"tst_freedbclient"_s);
    {
        QSettings settings;
        settings.remove(u"freedb"_s);
        if (host.isValid())
            settings.setValue(u"freedb/host"_s, host);
        if (port.isValid())
            settings.setValue(u"freedb/port"_s, port);
    }
    const Freedb::Server server = Freedb::Server::fromSettings();
    QCOMPARE(server.host, expectedHost);
    QCOMPARE(server.port, expectedPort);
}

QTEST_GUILESS_MAIN(tst_FreedbClient)
#include "tst_freedbclient.moc"
