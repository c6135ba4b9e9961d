// mavlor-cli's freedb commands end to end: the real binary against a local CDDB server, on a
// file made by lame; names and tags read back with TagLib, lengths judged by ffmpeg.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "cddbtestserver.h"
#include "clirun.h"

using namespace Qt::StringLiterals;

namespace {

// "artist|title" of the file's tag, empty when TagLib cannot read one.
QString tagOf(const QString &path)
{
    TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull() || !file.tag())
        return {};
    return QString::fromStdWString(file.tag()->artist().toWString()) + u'|'
        + QString::fromStdWString(file.tag()->title().toWString());
}

// The music is 12 s: three tones of 4 s. Disc offsets are CD frames (1/75 s) after a 2 s lead-in.
int offsetAt(double seconds)
{
    return int(150 + seconds * 75);
}

} // namespace

class tst_MavlorCliFreedb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();
    void splitFromDisc_data();
    void splitFromDisc();

private:
    QTemporaryDir m_dir;
    QString m_album;
    CddbTestServer m_server;
    QString m_serverArgument;
};

void tst_MavlorCliFreedb::initTestCase()
{
    m_album = m_dir.filePath(u"album.mp3"_s);
    QString error;
    QVERIFY2(encodeThreeTones(m_album, &error), qPrintable(error));
    QVERIFY2(m_server.start(&error), qPrintable(error));
    m_serverArgument = u"127.0.0.1:%1"_s.arg(m_server.port());
    const QByteArray dtitle = "Tone Band / Caf\xe9 Tones";
    m_server.addDisc({"rock", "7b0c0a0b", dtitle,
                      CddbTestServer::entryLines({offsetAt(0), offsetAt(4), offsetAt(8)}, 20,
                                                 dtitle, {"Low", "AC/DC", "Caf\xe9"})});
    m_server.addDisc(
        {"misc", "00aa00bb", "Tone Band / Longer Disc",
         CddbTestServer::entryLines({offsetAt(0), offsetAt(4), offsetAt(8), offsetAt(15)}, 30,
                                    "Tone Band / Longer Disc", {"A", "B", "C", "D"})});
    m_server.addDisc({"misc", "00cc00dd", "Tone Band / Shorter Disc",
                      CddbTestServer::entryLines({offsetAt(0), offsetAt(4)}, 8,
                                                 "Tone Band / Shorter Disc", {"A", "B"})});
    m_server.addDisc({"misc", "0badf00d", "Escape \x1b[2J Band",
                      CddbTestServer::entryLines({150}, 10, "Escape", {"A"})});
}

void tst_MavlorCliFreedb::search_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString server = u"--server"_s;
    QTest::newRow("discs found") << QStringList{u"freedb"_s, u"search"_s, u"tone band"_s, server,
                                                m_serverArgument}
                                 << 0
                                 << u"1  rock/7b0c0a0b  Tone Band / Caf\u00e9 Tones\n2  "
                                    u"misc/00aa00bb  Tone Band / Longer Disc\n"
                                    u"3  misc/00cc00dd  Tone Band / Shorter Disc\n"_s
                                 << QString();
    QTest::newRow("control characters escaped")
        << QStringList{u"freedb"_s, u"search"_s, u"escape"_s, server, m_serverArgument} << 0
        << u"1  misc/0badf00d  Escape \\x1B[2J Band\n"_s << QString();
    QTest::newRow("no disc") << QStringList{u"freedb"_s, u"search"_s, u"nothing"_s, server,
                                            m_serverArgument}
                             << 1 << QString() << QString();
    QTest::newRow("refused") << QStringList{u"freedb"_s, u"search"_s, u"tone"_s, server,
                                            u"127.0.0.1:%1"_s.arg(m_server.refusingPort())}
                             << 2 << QString() << u"Connection refused"_s;
    QTest::newRow("not resolved") << QStringList{u"freedb"_s, u"search"_s, u"tone"_s, server,
                                                 u"no-such-host.invalid"_s}
                                  << 2 << QString() << u"Cannot resolve no-such-host.invalid"_s;
    QTest::newRow("bad server argument")
        << QStringList{u"freedb"_s, u"search"_s, u"tone"_s, server, u"host:99999"_s} << 2
        << QString() << u"--server"_s;
}

void tst_MavlorCliFreedb::search()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    checkSearch(arguments, status, out, err);
}

void tst_MavlorCliFreedb::splitFromDisc_data()
{
    QTest::addColumn<QString>("disc");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    // "file name|tag artist|tag title|seconds"
    QTest::addColumn<QStringList>("tracks");

    // DTITLE "Tone Band / Café Tones": the band is the artist, not band and album.
    const QString artist = u"Tone Band"_s;
    QTest::newRow("disc as long as the music, last ends at the MP3's end")
        << u"rock/7b0c0a0b"_s << QString() << 0 << QString()
        << QStringList{u"01 - %1 - Low.mp3|%1|Low|4"_s.arg(artist),
                       u"02 - %1 - AC-DC.mp3|%1|AC/DC|4"_s.arg(artist),
                       u"03 - %1 - Caf\u00e9.mp3|%1|Caf\u00e9|4"_s.arg(artist)};
    QTest::newRow("selected track only")
        << u"rock/7b0c0a0b"_s << u"2"_s << 0 << QString()
        << QStringList{u"02 - %1 - AC-DC.mp3|%1|AC/DC|4"_s.arg(artist)};
    QTest::newRow("disc with more tracks than the music")
        << u"misc/00aa00bb"_s << QString() << 0 << u"track 4 starts after the end"_s
        << QStringList{u"01 - Tone Band - A.mp3|Tone Band|A|4"_s,
                       u"02 - Tone Band - B.mp3|Tone Band|B|4"_s,
                       u"03 - Tone Band - C.mp3|Tone Band|C|4"_s};
    QTest::newRow("disc with fewer tracks than the music")
        << u"misc/00cc00dd"_s << QString() << 0 << QString()
        << QStringList{u"01 - Tone Band - A.mp3|Tone Band|A|4"_s,
                       u"02 - Tone Band - B.mp3|Tone Band|B|8"_s};
    QTest::newRow("disc not in the database")
        << u"rock/ffffffff"_s << QString() << 2 << u"CDDB error 401"_s << QStringList{};
    QTest::newRow("not GENRE/DISCID")
        << u"rock 7b0c0a0b"_s << QString() << 2 << u"--freedb"_s << QStringList{};
}

void tst_MavlorCliFreedb::splitFromDisc()
{
    QFETCH(QString, disc);
    QFETCH(QString, selection);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QStringList, tracks);

    checkSplit({u"split"_s, m_album, u"--freedb"_s, disc, u"--server"_s, m_serverArgument},
               m_dir.filePath(QString::fromLatin1(QTest::currentDataTag())), selection, status, err,
               tracks, tagOf);
}

QTEST_GUILESS_MAIN(tst_MavlorCliFreedb)
#include "tst_mavlorcli_freedb.moc"
