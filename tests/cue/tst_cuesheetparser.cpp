#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "cue/cuesheetparser.h"
#include "encodedaudio.h"

using namespace Qt::StringLiterals;

namespace {

Track track(int number, const QString &title, const QString &artist, int start, int end)
{
    Track t;
    t.number = number;
    t.title = title;
    t.artist = artist;
    t.start = start;
    t.end = end;
    return t;
}

// Every time also comes in CD frames, which its milliseconds round back to; the last
// track's end is unknown.
TrackContainer withCdFrames(TrackContainer tracks)
{
    for (qsizetype i = tracks.size() - 1; i >= 0; --i) {
        tracks[i].startCdFrame = int((qint64{tracks[i].start} * 75 + 500) / 1000);
        if (i + 1 < tracks.size())
            tracks[i].endCdFrame = tracks[i + 1].startCdFrame;
    }
    return tracks;
}

TrackContainer parse(const QByteArray &sheet)
{
    CueSheetParser parser;
    parser.parseData(sheet);
    return CueSheetParser::buildTracks(parser.entries());
}

// UTF-16 bytes written out by hand, so the test does not share the decoder under test.
QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (const QChar c : text) {
        const auto low = char(c.unicode() & 0xFF);
        const auto high = char(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high);
        bytes.append(littleEndian ? high : low);
    }
    return bytes;
}

const QString eAcute = QString(QChar(0x00E9));
const QString uUmlaut = QString(QChar(0x00FC));
const QString rightQuote = QString(QChar(0x2019));

} // namespace

class tst_CueSheetParser : public QObject
{
    Q_OBJECT

private slots:
    void sheetsGiveTracks_data();
    void sheetsGiveTracks();
    void shortIndexLinesNeverReadOutOfRange_data();
    void shortIndexLinesNeverReadOutOfRange();
    void headerTitleAndPerformerAreNotTracks();
    void unreadableOrOversizeFileGivesNoEntries();
    void fileOnDiskParsesLikeBytes();
    void sheetPastHundredMinutesFitsARealFile();
};

void tst_CueSheetParser::sheetsGiveTracks_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<TrackContainer>("expected");

    QTest::newRow("title performer and 03:25:40 give 205533 ms")
        << QByteArray("TRACK 01 AUDIO\n  TITLE \"A\"\n  PERFORMER \"B\"\n  INDEX 01 03:25:40\n")
        << TrackContainer{track(1, u"A"_s, u"B"_s, 205533, 0)};
    QTest::newRow("INDEX 00 is the pre-gap, not the start")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 00 02:00:00\n  INDEX 01 02:02:00\n")
        << TrackContainer{track(1, {}, {}, 122000, 0)};
    QTest::newRow("INDEX 00 after INDEX 01 does not move the start")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 00:30:00\n  INDEX 00 00:10:00\n")
        << TrackContainer{track(1, {}, {}, 30000, 0)};
    QTest::newRow("only INDEX 00 keeps the default start")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 00 00:10:00\n")
        << TrackContainer{track(1, {}, {}, 59000, 0)};
    QTest::newRow("each track ends where the next starts, the last at 0")
        << QByteArray("TRACK 01 AUDIO\n INDEX 01 00:00:00\nTRACK 02 AUDIO\n INDEX 01 01:00:00\n"
                      "TRACK 03 AUDIO\n INDEX 01 02:00:00\n")
        << TrackContainer{track(1, {}, {}, 0, 60000), track(2, {}, {}, 60000, 120000),
                          track(3, {}, {}, 120000, 0)};
    QTest::newRow("numbered by position, not by the sheet's numbers")
        << QByteArray("TRACK 05 AUDIO\n INDEX 01 00:00:00\nTRACK 07 AUDIO\n INDEX 01 00:10:00\n"
                      "TRACK 09 AUDIO\n INDEX 01 00:20:00\n")
        << TrackContainer{track(1, {}, {}, 0, 10000), track(2, {}, {}, 10000, 20000),
                          track(3, {}, {}, 20000, 0)};
    // Minutes are every digit before the colon: 123 min 45 s 67 frames is
    // 7380000 + 45000 + 67000/75 = 7425893; 5 min alone is 300000.
    QTest::newRow("123:45:67 reads 123 minutes")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 123:45:67\n")
        << TrackContainer{track(1, {}, {}, 7425893, 0)};
    QTest::newRow("one-digit minutes") << QByteArray("TRACK 01 AUDIO\n  INDEX 01 5:00:00\n")
                                       << TrackContainer{track(1, {}, {}, 300000, 0)};
    // 35789 min is the cap: 2147340000 + 99000 + 986 still fits an int.
    QTest::newRow("minutes beyond an int capped")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 99999999999:99:74\n")
        << TrackContainer{track(1, {}, {}, 2147439986, 0)};
    // 74 frames = 74000/75 = 986 ms.
    QTest::newRow("frames 80 capped to 74") << QByteArray("TRACK 01 AUDIO\n  INDEX 01 00:00:80\n")
                                            << TrackContainer{track(1, {}, {}, 986, 0)};
    QTest::newRow("seconds 75 stays 75") << QByteArray("TRACK 01 AUDIO\n  INDEX 01 00:75:00\n")
                                         << TrackContainer{track(1, {}, {}, 75000, 0)};
    QTest::newRow("unquoted TITLE gives the whole line")
        << QByteArray("TRACK 01 AUDIO\n    TITLE Hello World\n  INDEX 01 00:00:00\n")
        << TrackContainer{track(1, u"    TITLE Hello World"_s, {}, 0, 0)};
    QTest::newRow("unclosed quote runs to the line end")
        << QByteArray("TRACK 01 AUDIO\n  TITLE \"Open end\n  INDEX 01 00:00:00\n")
        << TrackContainer{track(1, u"Open end"_s, {}, 0, 0)};
    QTest::newRow("TRACK inside a quoted title opens a track")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 00:00:00\nTRACK 02 AUDIO\n"
                      "  TITLE \"Back on TRACK\"\n  INDEX 01 01:00:00\n")
        << TrackContainer{track(1, {}, {}, 0, 59000), track(2, {}, {}, 59000, 60000),
                          track(3, {}, {}, 60000, 0)};
    QTest::newRow("FILE name containing TRACK opens the first track")
        << QByteArray("FILE \"TRACKS.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                      "    INDEX 01 00:00:00\n")
        << TrackContainer{track(1, {}, {}, 59000, 0), track(2, u"One"_s, {}, 0, 0)};
    QTest::newRow("lower-case keywords ignored")
        << QByteArray("TRACK 01 AUDIO\n  title \"x\"\n  performer \"y\"\n  index 01 01:00:00\n")
        << TrackContainer{track(1, {}, {}, 59000, 0)};
    QTest::newRow("lower-case track opens nothing")
        << QByteArray("track 01 audio\n  INDEX 01 01:00:00\n") << TrackContainer{};
    QTest::newRow("INDEX 01 then 02 takes the 02 time")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 00:10:00\n  INDEX 02 00:20:00\n")
        << TrackContainer{track(1, {}, {}, 20000, 0)};
    QTest::newRow("one-digit index number sets the start")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 1 00:10:00\n")
        << TrackContainer{track(1, {}, {}, 10000, 0)};
    QTest::newRow("no INDEX gives 59000") << QByteArray("TRACK 01 AUDIO\n  TITLE \"T\"\n")
                                          << TrackContainer{track(1, u"T"_s, {}, 59000, 0)};
    QTest::newRow("non-numeric time fields read 0")
        << QByteArray("TRACK 01 AUDIO\n  INDEX 01 ab:cd:ef\n")
        << TrackContainer{track(1, {}, {}, 0, 0)};
    QTest::newRow("empty sheet") << QByteArray() << TrackContainer{};
    QTest::newRow("no TRACK line")
        << QByteArray("REM GENRE Jazz\nTITLE \"x\"\nFILE \"a.mp3\" MP3\n") << TrackContainer{};
    QTest::newRow("binary garbage without keywords")
        << QByteArray("\x00\xff\xfe\x01:::\"\"\r\r\n", 11) << TrackContainer{};

    // Whole sheets as rippers and editors write them.
    const QByteArray ripped = "REM GENRE \"Alternative\"\n"
                              "REM DATE 1994\n"
                              "REM DISCID 8A0B4C0D\n"
                              "REM COMMENT \"ExactAudioCopy v1.6\"\n"
                              "CATALOG 0724384260958\n"
                              "PERFORMER \"Sheet Artist\"\n"
                              "TITLE \"Sheet Title\"\n"
                              "FILE \"Range.wav\" WAVE\n"
                              "  TRACK 01 AUDIO\n"
                              "    TITLE \"First\"\n"
                              "    PERFORMER \"Band\"\n"
                              "    ISRC USWB19900001\n"
                              "    FLAGS DCP\n"
                              "    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n"
                              "    TITLE \"Second\"\n"
                              "    PERFORMER \"Band\"\n"
                              "    PREGAP 00:02:00\n"
                              "    INDEX 00 03:10:50\n"
                              "    INDEX 01 03:12:00\n";
    const TrackContainer rippedTracks{track(1, u"First"_s, u"Band"_s, 0, 192000),
                                      track(2, u"Second"_s, u"Band"_s, 192000, 0)};
    QTest::newRow("REM FLAGS ISRC PREGAP CATALOG ignored") << ripped << rippedTracks;
    QByteArray crlf = ripped;
    crlf.replace("\n", "\r\n");
    QTest::newRow("CR LF line ends") << crlf << rippedTracks;
    QByteArray cr = ripped;
    cr.replace("\n", "\r");
    QTest::newRow("lone CR line ends") << cr << rippedTracks;

    QTest::newRow("several FILE lines are ignored")
        << QByteArray("FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                      "    INDEX 01 00:00:00\nFILE \"02.wav\" WAVE\n  TRACK 02 AUDIO\n"
                      "    TITLE \"Two\"\n    INDEX 01 00:00:00\n")
        << TrackContainer{track(1, u"One"_s, {}, 0, 0), track(2, u"Two"_s, {}, 0, 0)};

    const QString accented = u"Caf"_s + eAcute + u" M"_s + uUmlaut + u"ller"_s;
    const QString apostrophe = u"Don"_s + rightQuote + u"t Stop"_s;
    const TrackContainer accentedTracks{track(1, accented, apostrophe, 0, 0)};
    // Bytes spelled out: é = C3 A9, ü = C3 BC, ’ = E2 80 99 in UTF-8.
    const QByteArray utf8 = "TRACK 01 AUDIO\r\n  TITLE \"Caf\xC3\xA9 M\xC3\xBCller\"\r\n"
                            "  PERFORMER \"Don\xE2\x80\x99t Stop\"\r\n  INDEX 01 00:00:00\r\n";
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + utf8 << accentedTracks;
    QTest::newRow("UTF-8 without BOM") << utf8 << accentedTracks;
    // Windows-1252: é = E9, ü = FC, ’ = 92.
    QTest::newRow("Windows-1252 with accents")
        << QByteArray("TRACK 01 AUDIO\r\n  TITLE \"Caf\xE9 M\xFCller\"\r\n"
                      "  PERFORMER \"Don\x92t Stop\"\r\n  INDEX 01 00:00:00\r\n")
        << accentedTracks;
    const QString text = u"TRACK 01 AUDIO\r\n  TITLE \""_s + accented + u"\"\r\n  PERFORMER \""_s
        + apostrophe + u"\"\r\n  INDEX 01 00:00:00\r\n"_s;
    QTest::newRow("UTF-16 LE with BOM") << utf16(text, true) << accentedTracks;
    QTest::newRow("UTF-16 BE with BOM") << utf16(text, false) << accentedTracks;
}

void tst_CueSheetParser::sheetsGiveTracks()
{
    QFETCH(QByteArray, sheet);
    QFETCH(TrackContainer, expected);
    QCOMPARE(parse(sheet), withCdFrames(expected));
}

void tst_CueSheetParser::shortIndexLinesNeverReadOutOfRange_data()
{
    QTest::addColumn<QByteArray>("indexLine");
    QTest::addColumn<int>("start");

    // A line without a colon carries no time: the earlier 00:59:00 stays.
    QTest::newRow("keyword alone") << QByteArray("INDEX") << 59000;
    QTest::newRow("keyword at line end") << QByteArray("    xINDEX") << 59000;
    QTest::newRow("number without time") << QByteArray("  INDEX 01") << 59000;
    QTest::newRow("00 without time") << QByteArray("  INDEX 00") << 59000;
    QTest::newRow("colon before the time position") << QByteArray("INDEX:01 2") << 59000;
    QTest::newRow("time cut after the colon") << QByteArray("  INDEX 01 02:") << 120000;
    QTest::newRow("seconds one digit, no frames") << QByteArray("  INDEX 01 00:1") << 1000;
    QTest::newRow("frames one digit") << QByteArray("  INDEX 01 00:01:7") << 1093;
}

void tst_CueSheetParser::shortIndexLinesNeverReadOutOfRange()
{
    QFETCH(QByteArray, indexLine);
    QFETCH(int, start);
    // The same line with and without a final line end, so the last character is the text's.
    for (const QByteArray &end : {QByteArray("\n"), QByteArray()}) {
        const TrackContainer tracks = parse("TRACK 01 AUDIO\n" + indexLine + end);
        QCOMPARE(tracks.size(), 1);
        QCOMPARE(tracks.first().start, start);
    }
}

void tst_CueSheetParser::headerTitleAndPerformerAreNotTracks()
{
    // The first TITLE and PERFORMER before any track belong to the sheet, even naming TRACK.
    CueSheetParser parser;
    parser.parseData("TITLE \"TRACK list\"\nPERFORMER \"TRACK star\"\nTRACK 01 AUDIO\n"
                     "  TITLE \"Song\"\n  INDEX 01 00:00:00\n");
    QCOMPARE(parser.album().album, u"TRACK list"_s);
    QCOMPARE(parser.album().albumArtist, u"TRACK star"_s);
    QCOMPARE(CueSheetParser::buildTracks(parser.entries()),
             withCdFrames({track(1, u"Song"_s, {}, 0, 0)}));

    // A second header TITLE line is no longer the sheet's; naming TRACK it opens a track.
    CueSheetParser second;
    second.parseData("TITLE \"Album\"\nTITLE \"TRACK\"\n  INDEX 01 00:05:00\n");
    QCOMPARE(second.album().album, u"Album"_s);
    QCOMPARE(CueSheetParser::buildTracks(second.entries()),
             withCdFrames({track(1, {}, {}, 5000, 0)}));
}

void tst_CueSheetParser::unreadableOrOversizeFileGivesNoEntries()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CueSheetParser missing;
    QVERIFY(!missing.parseFile(dir.filePath(u"missing.cue"_s)));
    QVERIFY(missing.entries().isEmpty());

    CueSheetParser folder;
    QVERIFY(!folder.parseFile(dir.path()));
    QVERIFY(folder.entries().isEmpty());

    // Opening a FIFO for reading would wait for a writer forever.
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"pipe.cue"_s));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    CueSheetParser pipe;
    QVERIFY(!pipe.parseFile(QFile::decodeName(fifo)));
    QVERIFY(pipe.entries().isEmpty());

    QFile big(dir.filePath(u"big.cue"_s));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write("TRACK 01 AUDIO\n");
    QVERIFY(big.resize(CueSheetParser::maxSheetSize + 1));
    big.close();
    CueSheetParser oversize;
    QVERIFY(!oversize.parseFile(big.fileName()));
    QVERIFY(oversize.entries().isEmpty());
}

void tst_CueSheetParser::fileOnDiskParsesLikeBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray sheet = "TRACK 01 AUDIO\r\n  TITLE \"Caf\xE9\"\r\n  INDEX 01 00:02:00\r\n";
    QFile file(dir.filePath(u"a.cue"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sheet);
    file.close();
    CueSheetParser parser;
    QVERIFY(parser.parseFile(file.fileName()));
    QCOMPARE(CueSheetParser::buildTracks(parser.entries()),
             withCdFrames({track(1, u"Caf"_s + eAcute, {}, 2000, 0)}));
}

void tst_CueSheetParser::sheetPastHundredMinutesFitsARealFile()
{
    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffprobe"_s))
        QSKIP("lame and ffprobe are needed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // One minute encoded by lame without an information frame, so 102 copies in a row are
    // one valid 102-minute constant-bitrate stream.
    const QString minute = dir.filePath(u"minute.mp3"_s);
    QString error;
    QVERIFY2(
        EncodedAudio::encode(minute, {{60.0, 440.0, 0.3}}, 16000, 1, {u"-b8"_s, u"-t"_s}, &error),
        qPrintable(error));
    QFile part(minute);
    QVERIFY(part.open(QIODevice::ReadOnly));
    const QByteArray bytes = part.readAll();
    QFile mix(dir.filePath(u"mix.mp3"_s));
    QVERIFY(mix.open(QIODevice::WriteOnly));
    for (int i = 0; i < 102; ++i)
        QCOMPARE(mix.write(bytes), bytes.size());
    mix.close();
    const double seconds = EncodedAudio::probedDuration(mix.fileName());
    QVERIFY(seconds > 101 * 60 && seconds < 103 * 60);

    QFile sheet(dir.filePath(u"mix.cue"_s));
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("FILE \"mix.mp3\" MP3\n"
                "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                "  TRACK 02 AUDIO\n    INDEX 01 50:00:00\n"
                "  TRACK 03 AUDIO\n    INDEX 01 99:59:74\n"
                "  TRACK 04 AUDIO\n    INDEX 01 100:58:44\n"
                "  TRACK 05 AUDIO\n    INDEX 01 101:30:00\n");
    sheet.close();
    CueSheetParser parser;
    QVERIFY(parser.parseFile(sheet.fileName()));
    const TrackContainer tracks = CueSheetParser::buildTracks(parser.entries());
    // 99:59:74 is 5999000 + 986; 100:58:44 is 6058000 + 44000 / 75 = 6058586; 101:30:00 is 6090000.
    const QList<int> starts{0, 3000000, 5999986, 6058586, 6090000};
    QCOMPARE(tracks.size(), starts.size());
    const int fileEnd = int(seconds * 1000);
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        QCOMPARE(tracks.at(i).start, starts.at(i));
        // Every track lies inside the file and holds audio up to the next one (or the end).
        const int end = i + 1 < tracks.size() ? tracks.at(i).end : fileEnd;
        QVERIFY2(tracks.at(i).start < end && end <= fileEnd, qPrintable(QString::number(i + 1)));
    }
}

QTEST_GUILESS_MAIN(tst_CueSheetParser)
#include "tst_cuesheetparser.moc"
