#include <QTest>

#include "cue/cuesheetparser.h"
#include "cue/cuesheetwriter.h"

using namespace Qt::StringLiterals;

namespace {

TrackContainer tracksAt(const QList<int> &starts, const QStringList &titles)
{
    TrackContainer tracks;
    for (qsizetype i = 0; i < starts.size(); ++i)
        tracks.append(Track{titles.value(i), u"Band"_s, int(i + 1), starts.at(i), 0});
    for (qsizetype i = 0; i + 1 < tracks.size(); ++i)
        tracks[i].end = tracks.at(i + 1).start;
    return tracks;
}

struct Parsed
{
    TrackContainer tracks;
    Album album;
};

Parsed parse(const QByteArray &sheet)
{
    CueSheetParser parser;
    parser.parseData(sheet);
    return {CueSheetParser::buildTracks(parser.entries()), parser.album()};
}

} // namespace

class tst_CueSheetWriter : public QObject
{
    Q_OBJECT

private slots:
    void indexTimeRoundsToNearestFrame_data();
    void indexTimeRoundsToNearestFrame();
    void sheetReadsBackAsWritten_data();
    void sheetReadsBackAsWritten();
    void remarksBeforeTheFirstTrackGiveTheAlbum();
};

void tst_CueSheetWriter::indexTimeRoundsToNearestFrame_data()
{
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0 << u"00:00:00"_s;
    QTest::newRow("6 ms is under half a frame") << 6 << u"00:00:00"_s;
    QTest::newRow("7 ms is over half a frame") << 7 << u"00:00:01"_s;
    QTest::newRow("59.999 s rounds up into the minute") << 59999 << u"01:00:00"_s;
    QTest::newRow("100 minutes take three digits") << 6000000 << u"100:00:00"_s;
    QTest::newRow("6 hours") << 21600000 << u"360:00:00"_s;
}

void tst_CueSheetWriter::indexTimeRoundsToNearestFrame()
{
    QFETCH(int, milliseconds);
    QFETCH(QString, text);
    QCOMPARE(CueSheetWriter::indexTime(milliseconds), text);
}

void tst_CueSheetWriter::sheetReadsBackAsWritten_data()
{
    QTest::addColumn<TrackContainer>("tracks");
    QTest::addColumn<Album>("album");
    QTest::addColumn<QStringList>("titlesRead"); // empty: the titles as given

    Album full;
    full.album = u"Caf\u00e9 del Mar"_s;
    full.albumArtist = u"M\u00fcller & Co"_s;
    full.year = u"1999-05-01"_s;
    full.genre = u"Hard Rock"_s;
    full.discId = u"8A0B4C0D"_s;
    full.comment = u"from vinyl"_s;
    full.discNumber = 2;
    full.discCount = 3;
    QTest::newRow("every album field, non-ASCII titles")
        << tracksAt({0, 180000}, {u"\u65e5\u672c\u8a9e"_s, u"\u0152uvre \u2014 f\u00fcr"_s}) << full
        << QStringList{};
    QTest::newRow("quotes become typographic, the rest stays")
        << tracksAt({0, 1000}, {u"Say \"Hi\" now"_s, u"Don't \"stop"_s}) << Album()
        << QStringList{u"Say \u201cHi\u201d now"_s, u"Don't \u201cstop"_s};
    QTest::newRow("control characters become spaces")
        << tracksAt({0}, {u"One\nTwo\tThree"_s}) << Album() << QStringList{u"One Two Three"_s};
    QTest::newRow("past 100 minutes")
        << tracksAt({0, 5999000, 6000000, 7384560}, {u"a"_s, u"b"_s, u"c"_s, u"d"_s}) << Album()
        << QStringList{};
    QTest::newRow("one track for the whole file")
        << tracksAt({0}, {u"All"_s}) << Album() << QStringList{};
    QTest::newRow("cut times off the 1/75 s grid")
        << tracksAt({0, 6, 13, 2007, 123457}, {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}) << Album()
        << QStringList{};
    QList<int> starts;
    QStringList titles;
    for (int i = 0; i < 120; ++i) {
        starts.append(i * 180000 + i % 7);
        titles.append(u"Part %1"_s.arg(i + 1));
    }
    QTest::newRow("6-hour list of 120 tracks")
        << tracksAt(starts, titles) << Album() << QStringList{};
}

void tst_CueSheetWriter::sheetReadsBackAsWritten()
{
    QFETCH(TrackContainer, tracks);
    QFETCH(Album, album);
    QFETCH(QStringList, titlesRead);

    const QByteArray sheet = CueSheetWriter::sheet(tracks, album, u"mix \u00e9.mp3"_s);
    QVERIFY(sheet.contains("FILE \"mix \xC3\xA9.mp3\" MP3\r\n"));
    const Parsed read = parse(sheet);
    QCOMPARE(read.album, album);
    QCOMPARE(read.tracks.size(), tracks.size());
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const Track &was = tracks.at(i);
        const Track &is = read.tracks.at(i);
        QCOMPARE(is.title, titlesRead.isEmpty() ? was.title : titlesRead.at(i));
        QCOMPARE(is.artist, was.artist);
        QCOMPARE(is.number, was.number);
        // Within half a CD frame, 1/150 s.
        QVERIFY2(qAbs(is.start - was.start) <= 7, qPrintable(u"track %1"_s.arg(i + 1)));
    }
    // What was read back writes the same sheet again, byte for byte.
    QCOMPARE(CueSheetWriter::sheet(read.tracks, read.album, u"mix \u00e9.mp3"_s), sheet);
}

void tst_CueSheetWriter::remarksBeforeTheFirstTrackGiveTheAlbum()
{
    const Parsed read =
        parse("REM GENRE \"Alternative\"\r\nREM DATE 1994\r\nREM DISCID 8A0B4C0D\r\n"
              "REM COMMENT \"ExactAudioCopy v1.6\"\r\nPERFORMER \"The REM Band\"\r\n"
              "TITLE \"Sheet\"\r\nFILE \"a.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n"
              "    REM GENRE Pop\r\n    INDEX 01 00:00:00\r\n");
    Album expected;
    expected.album = u"Sheet"_s;
    expected.albumArtist = u"The REM Band"_s;
    expected.year = u"1994"_s;
    expected.genre = u"Alternative"_s;
    expected.discId = u"8A0B4C0D"_s;
    expected.comment = u"ExactAudioCopy v1.6"_s;
    QCOMPARE(read.album, expected);
}

QTEST_GUILESS_MAIN(tst_CueSheetWriter)
#include "tst_cuesheetwriter.moc"
