#include <QElapsedTimer>
#include <QTest>

#include "cddbtestserver.h"
#include "freedb/httpconnection.h"
#include "stopafter.h"

using namespace Qt::StringLiterals;
using Failure = HttpConnection::Failure;

namespace {

const QByteArray searchHead =
    "GET /~cddb/cddb.cgi?cmd=cddb+album+tango&hello=nouser+mavlor&proto=5";

} // namespace

class tst_HttpConnection : public QObject
{
    Q_OBJECT

private slots:
    void splitLines_data();
    void splitLines();
    void exchange_data();
    void exchange();
    void stopEndsSilentExchangeWithinASecond();
};

void tst_HttpConnection::splitLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("status, two headers, blank, three body lines")
        << QByteArray("HTTP/1.0 200 OK\r\nA: 1\r\nB: 2\r\n\r\nx\r\ny\r\nz\r\n")
        << QByteArrayList{"HTTP/1.0 200 OK", "A: 1", "B: 2", "", "x", "y", "z"};
    QTest::newRow("nothing") << QByteArray() << QByteArrayList{};
    QTest::newRow("last line without end") << QByteArray("a\r\nbc") << QByteArrayList{"a", "bc"};
    QTest::newRow("LF only keeps every character")
        << QByteArray("ab\ncd\n\nef\n") << QByteArrayList{"ab", "cd", "", "ef"};
    QTest::newRow("lone CR") << QByteArray("ab\rcd") << QByteArrayList{"ab", "cd"};
    QTest::newRow("mixed ends") << QByteArray("a\r\nb\nc\rd") << QByteArrayList{"a", "b", "c", "d"};
    QTest::newRow("lone CR at the very end") << QByteArray("a\r") << QByteArrayList{"a"};
    QTest::newRow("lone LF at the very end") << QByteArray("a\n") << QByteArrayList{"a"};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("zero byte kept")
        << QByteArray("a\0b\r\n", 5) << QByteArrayList{QByteArray("a\0b", 3)};
    QTest::newRow("4 MiB line keeps its first 4 KiB")
        << QByteArray(4 << 20, 'x') + "\r\nb" << QByteArrayList{QByteArray(4096, 'x'), "b"};
}

void tst_HttpConnection::splitLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(HttpConnection::splitLines(text, "\r\n"), lines);
}

void tst_HttpConnection::exchange_data()
{
    QTest::addColumn<CddbTestServer::Mode>("mode");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("refusedPort");
    QTest::addColumn<QByteArrayList>("addresses");
    QTest::addColumn<int>("dripMs");
    QTest::addColumn<Failure>("failure");

    using Mode = CddbTestServer::Mode;
    const QString loopback = u"127.0.0.1"_s;
    const QByteArrayList host;
    QTest::newRow("CR LF") << Mode::Normal << loopback << false << host << 0 << Failure::None;
    QTest::newRow("LF only") << Mode::LfOnly << loopback << false << host << 0 << Failure::None;
    QTest::newRow("dripped byte by byte")
        << Mode::Drip << loopback << false << host << 0 << Failure::None;
    QTest::newRow("silent server hits the idle limit")
        << Mode::Silent << loopback << false << host << 0 << Failure::TimedOut;
    QTest::newRow("endless answer is capped")
        << Mode::Endless << loopback << false << host << 0 << Failure::TooLarge;
    QTest::newRow("refused port") << Mode::Normal << loopback << true << host << 0
                                  << Failure::Connect;
    QTest::newRow("name that does not resolve")
        << Mode::Normal << u"no-such-host.invalid"_s << false << host << 0 << Failure::Resolve;
    QTest::newRow("slow drip ends at the overall limit")
        << Mode::Drip << loopback << false << host << 200 << Failure::TimedOut;
    QTest::newRow("address without answer gives way to the next")
        << Mode::Normal << loopback << false << QByteArrayList{"127.0.0.2", "127.0.0.1"} << 0
        << Failure::None;
    QTest::newRow("only an address without answer")
        << Mode::Normal << loopback << false << QByteArrayList{"127.0.0.2"} << 0
        << Failure::TimedOut;
}

void tst_HttpConnection::exchange()
{
    QFETCH(CddbTestServer::Mode, mode);
    QFETCH(QString, host);
    QFETCH(bool, refusedPort);
    QFETCH(QByteArrayList, addresses);
    QFETCH(int, dripMs);
    QFETCH(Failure, failure);

    CddbTestServer server;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    if (addresses.contains("127.0.0.2"))
        QVERIFY2(server.startBlackhole(&error), qPrintable(error));
    server.setMode(mode);
    if (dripMs > 0)
        server.setDripInterval(std::chrono::milliseconds(dripMs));
    server.addDisc({"rock", "7b0c0a0b", "Caf\xe9 Tango / Some Album", {}});

    HttpConnection http(host.toLatin1(), refusedPort ? server.refusingPort() : server.port());
    constexpr int idle = 700;
    constexpr int overall = 2000;
    http.setIdleLimit(idle);
    http.setOverallLimit(overall);
    http.setAddresses(addresses);
    QByteArrayList lines{"kept"};
    QElapsedTimer clock;
    clock.start();
    const bool ok =
        http.connect() && http.sendRequest(searchHead) && http.receiveLines(&lines, "\r\n");
    QCOMPARE_LT(clock.elapsed(), overall + 500);
    QCOMPARE(http.failure(), failure);
    QCOMPARE(ok, failure == Failure::None);
    if (!ok) {
        QVERIFY(!http.errorString().isEmpty());
        QCOMPARE(lines, QByteArrayList{"kept"});
        return;
    }
    QCOMPARE(server.requests(),
             QByteArrayList{searchHead + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"});
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.at(0), "kept");
    QCOMPARE(lines.at(1), "HTTP/1.1 200 OK");
    QCOMPARE(lines.at(8), "");
    QVERIFY(lines.at(9).startsWith("211 "));
    QCOMPARE(lines.at(10), "rock 7b0c0a0b Caf\xe9 Tango / Some Album");
    QCOMPARE(lines.at(11), ".");
}

void tst_HttpConnection::stopEndsSilentExchangeWithinASecond()
{
    CddbTestServer server;
    QVERIFY(server.start());
    server.setMode(CddbTestServer::Mode::Silent);

    HttpConnection http("127.0.0.1", server.port());
    QVERIFY(http.connect());
    QVERIFY(http.sendRequest(searchHead));
    constexpr int stopAt = 300;
    StopAfter listener(stopAt);
    http.setContinueListener(&listener);
    QElapsedTimer clock;
    clock.start();
    QByteArrayList lines;
    QVERIFY(!http.receiveLines(&lines, "\r\n"));
    QCOMPARE(http.failure(), Failure::Stopped);
    QCOMPARE_LT(clock.elapsed(), stopAt + 1000);
}

QTEST_GUILESS_MAIN(tst_HttpConnection)
#include "tst_httpconnection.moc"
