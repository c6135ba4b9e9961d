// mavlor-cli's MusicBrainz commands end to end: the real binary against a local ws/2 server,
// on a file made by lame; names and tags read back with TagLib, lengths judged by ffmpeg.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include "clirun.h"
#include "musicbrainztestserver.h"

using namespace Qt::StringLiterals;

namespace {

QString tagOf(const QString &path)
{
    TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull() || !file.tag())
        return {};
    const TagLib::StringList disc = file.file()->properties()["DISCNUMBER"];
    return QString::fromStdWString(file.tag()->artist().toWString()) + u'|'
        + QString::fromStdWString(file.tag()->title().toWString()) + u'|'
        + (disc.isEmpty() ? QString() : QString::fromStdWString(disc.front().toWString()));
}

const QString twoDiscs = u"a1b2c3d4-0000-4000-8000-000000000001"_s;
const QString gap = u"a1b2c3d4-0000-4000-8000-000000000002"_s;

} // namespace

class tst_MavlorCliMusicBrainz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();
    void splitFromRelease_data();
    void splitFromRelease();

private:
    QTemporaryDir m_dir;
    QString m_album;
    MusicBrainzTestServer m_server;
    MusicBrainzTestServer m_malformed;
};

void tst_MavlorCliMusicBrainz::initTestCase()
{
    m_album = m_dir.filePath(u"album.mp3"_s);
    QString error;
    QVERIFY2(encodeThreeTones(m_album, &error), qPrintable(error));
    QVERIFY2(m_server.start(&error), qPrintable(error));
    QVERIFY2(m_malformed.start(&error), qPrintable(error));
    m_malformed.setMode(MusicBrainzTestServer::Mode::Malformed);
    // The second disc's track is 3 s long; the MP3's last 5 s go to it all the same.
    m_server.addRelease({twoDiscs,
                         u"Caf\u00e9 Tones"_s,
                         {{u"Tone Band"_s, {}}},
                         u"2003-04-05"_s,
                         u"DE"_s,
                         {{u"CD"_s,
                           {{u"Low"_s, {{u"Tone Band"_s, {}}}, 4000},
                            {u"AC/DC"_s, {{u"Guest"_s, u" & "_s}, {u"Tone Band"_s, {}}}, 4000}}},
                          {u"CD"_s, {{u"H\u00f6he"_s, {{u"Tone Band"_s, {}}}, 3000}}}}});
    m_server.addRelease({gap,
                         u"Tone Gap \x1b[2J"_s,
                         {{u"Tone Band"_s, {}}},
                         {},
                         {},
                         {{u"CD"_s, {{u"A"_s, {}, 4000}, {u"B"_s, {}, -1}, {u"C"_s, {}, 4000}}}}});
}

void tst_MavlorCliMusicBrainz::search_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QStringList search{u"musicbrainz"_s, u"search"_s};
    const QString server = u"--server"_s;
    QTest::newRow("releases found, control characters escaped")
        << search + QStringList{u"tone"_s, server, m_server.url()} << 0
        << u"1  %1  Tone Band - Caf\u00e9 Tones (2003-04-05, 3 tracks)\n"
           u"2  %2  Tone Band - Tone Gap \\x1B[2J (, 3 tracks)\n"_s.arg(twoDiscs, gap)
        << QString();
    QTest::newRow("no release") << search + QStringList{u"nothing"_s, server, m_server.url()} << 1
                                << QString() << QString();
    QTest::newRow("refused") << search
            + QStringList{u"tone"_s, server, u"http://127.0.0.1:%1"_s.arg(m_server.refusingPort())}
                             << 2 << QString() << u"refused the connection"_s;
    QTest::newRow("not JSON") << search + QStringList{u"tone"_s, server, m_malformed.url()} << 2
                              << QString() << u"not JSON"_s;
    QTest::newRow("freedb form is no URL")
        << search + QStringList{u"tone"_s, server, u"127.0.0.1:80"_s} << 2 << QString()
        << u"--server needs an http or https URL"_s;
}

void tst_MavlorCliMusicBrainz::search()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    checkSearch(arguments, status, out, err);
}

void tst_MavlorCliMusicBrainz::splitFromRelease_data()
{
    QTest::addColumn<QString>("release");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    // "file name|tag artist|tag title|tag disc|seconds"
    QTest::addColumn<QStringList>("tracks");

    QTest::newRow("two discs, each track's own artist, last to the MP3's end")
        << twoDiscs << QString() << 0 << QString()
        << QStringList{u"01 - Tone Band - Low.mp3|Tone Band|Low|1/2|4"_s,
                       u"02 - Guest & Tone Band - AC-DC.mp3|Guest & Tone Band|AC/DC|1/2|4"_s,
                       u"03 - Tone Band - H\u00f6he.mp3|Tone Band|H\u00f6he|2/2|4"_s};
    QTest::newRow("selected track only")
        << twoDiscs << u"3"_s << 0 << QString()
        << QStringList{u"03 - Tone Band - H\u00f6he.mp3|Tone Band|H\u00f6he|2/2|4"_s};
    QTest::newRow("middle track without length writes nothing")
        << gap << QString() << 2 << u"track 2 (\"B\") has no length"_s << QStringList{};
    QTest::newRow("unknown release") << u"a1b2c3d4-0000-4000-8000-00000000000f"_s << QString() << 2
                                     << u"HTTP 404"_s << QStringList{};
}

void tst_MavlorCliMusicBrainz::splitFromRelease()
{
    QFETCH(QString, release);
    QFETCH(QString, selection);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QStringList, tracks);

    const QString out = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    checkSplit({u"split"_s, m_album, u"--musicbrainz"_s, release, u"--server"_s, m_server.url()},
               out, selection, status, err, tracks, tagOf);
    if (status != 0)
        QVERIFY(!QFileInfo::exists(out) || QDir(out).isEmpty());
}

QTEST_GUILESS_MAIN(tst_MavlorCliMusicBrainz)
#include "tst_mavlorcli_musicbrainz.moc"
