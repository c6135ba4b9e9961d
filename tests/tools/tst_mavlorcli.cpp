// mavlor-cli end to end: the real binary on files made by lame, judged by ffmpeg.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "clirun.h"
#include "encodedaudio.h"
#include "mp3streambuilder.h"

using namespace Qt::StringLiterals;

namespace {

QStringList mp3sIn(const QString &folder)
{
    return QDir(folder).entryList({u"*.mp3"_s}, QDir::Files, QDir::Name);
}

const char sheet[] = "REM GENRE Test\r\n"
                     "PERFORMER \"Tone Band\"\r\n"
                     "TITLE \"Three Tones\"\r\n"
                     "FILE \"album.mp3\" MP3\r\n"
                     "  TRACK 01 AUDIO\r\n"
                     "    TITLE \"Low\"\r\n"
                     "    PERFORMER \"Tone Band\"\r\n"
                     "    INDEX 01 00:00:00\r\n"
                     "  TRACK 02 AUDIO\r\n"
                     "    TITLE \"Middle\"\r\n"
                     "    PERFORMER \"Tone Band\"\r\n"
                     "    INDEX 00 00:03:50\r\n"
                     "    INDEX 01 00:04:00\r\n"
                     "  TRACK 03 AUDIO\r\n"
                     "    TITLE \"High/Loud\"\r\n"
                     "    PERFORMER \"Tone Band\"\r\n"
                     "    INDEX 01 00:07:37\r\n";

} // namespace

class tst_MavlorCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void infoDescribesTheFile();
    void splitAtTimesWritesEveryTrack_data();
    void splitAtTimesWritesEveryTrack();
    void cueSheetGivesTitledTracksOfTheRightLength();
    void sheetBesideTheFileIsUsedWithoutBeingNamed();
    void trackSelectionWritesOnlyThoseTracks();
    void badInputGivesOneLineErrorAndFailure_data();
    void badInputGivesOneLineErrorAndFailure();
    void interruptStopsCleanlyWithFailure();
    void repairInPlaceAndToSecondFile();
    void repairWritesThroughALinkAndEscapesFileBytes();
    void failedTrackIsNamedAndPathsEscaped();

private:
    QTemporaryDir m_dir;
    QString m_album;
    QString m_long;
};

void tst_MavlorCli::initTestCase()
{
    m_album = m_dir.filePath(u"album.mp3"_s);
    QString error;
    QVERIFY2(EncodedAudio::encode(m_album,
                                  {{4.0, 330.0, 0.5}, {3.5, 550.0, 0.5}, {4.5, 770.0, 0.4}}, 44100,
                                  2, {u"-V2"_s}, &error),
             qPrintable(error));
    Mp3StreamBuilder builder;
    builder.appendFrames(Mp3StreamBuilder::Header{}, 200000, 120); // about 80 MB
    m_long = m_dir.filePath(u"long/long.mp3"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"long"_s)));
    QVERIFY(builder.save(m_long));
}

void tst_MavlorCli::infoDescribesTheFile()
{
    const CliResult result = runCli({u"info"_s, m_album});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains(u"Sample rate:     44100 Hz"_s));
    QVERIFY(result.out.contains(u"Channels:        2"_s));
    QVERIFY(result.out.contains(u"Bitrate:         variable"_s));
    QVERIFY2(result.out.contains(u"Duration:        00:12."_s), qPrintable(result.out));
}

void tst_MavlorCli::splitAtTimesWritesEveryTrack_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("sampleExact");
    QTest::addColumn<bool>("bySheet");
    QTest::addColumn<QList<double>>("lengths");
    const QList<double> even{4.0, 3.5, 4.5};
    QTest::newRow("seconds, mm:ss.hh") << u"4"_s << u"00:07.50"_s << false << false << even;
    QTest::newRow("m:ss, seconds with decimals") << u"0:04"_s << u"7.5"_s << false << false << even;
    QTest::newRow("h:mm:ss, h:mm:ss.hh")
        << u"0:00:04"_s << u"0:00:07.50"_s << false << false << even;
    QTest::newRow("mm:ss, m:ss.h") << u"00:04"_s << u"0:07.5"_s << false << false << even;
    QTest::newRow("sample-exact") << u"4"_s << u"7.5"_s << true << false << even;
    // CUE times between two milliseconds: 588 samples per 1/75 s, none lost to rounding.
    QTest::newRow("sample-exact by sheet, 00:04:01 and 00:07:38")
        << u"00:04:01"_s << u"00:07:38"_s << true << true
        << QList<double>{4.0 + 1 / 75.0, 3.5 - 1 / 75.0 + 1 / 150.0, 4.5 - 1 / 150.0};
}

void tst_MavlorCli::splitAtTimesWritesEveryTrack()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, sampleExact);
    QFETCH(bool, bySheet);
    QFETCH(QList<double>, lengths);
    const QString out = m_dir.filePath(u"at "_s + QLatin1StringView(QTest::currentDataTag()));
    QStringList arguments{u"split"_s, m_album, u"--out"_s, out, u"--quiet"_s};
    if (bySheet) {
        const QString cue = out + u".cue"_s;
        QFile sheet(cue);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("FILE \"album.mp3\" MP3\n");
        for (const QString &at : {u"00:00:00"_s, first, second})
            sheet.write(
                "  TRACK 01 AUDIO\n    TITLE \"album\"\n    PERFORMER \"album\"\n    INDEX 01 "
                + at.toLatin1() + '\n');
        sheet.close();
        arguments << u"--cue"_s << cue;
    } else {
        arguments << u"--at"_s << first << u"--at"_s << second;
    }
    if (sampleExact)
        arguments << u"--sample-exact"_s;
    const CliResult result = runCli(arguments);
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(mp3sIn(out),
             QStringList({u"01 - album - album.mp3"_s, u"02 - album - album.mp3"_s,
                          u"03 - album - album.mp3"_s}));
    for (int i = 0; i < 3; ++i) {
        const double seconds = decodedSeconds(out + u'/' + mp3sIn(out).at(i));
        // Cut to the frame a track is within a frame at each end; to the sample, exact.
        QVERIFY2(qAbs(seconds - lengths[i]) < (sampleExact ? 0.5 / 44100 : 0.06),
                 qPrintable(QString::number(seconds, 'f', 6)));
    }
}

void tst_MavlorCli::cueSheetGivesTitledTracksOfTheRightLength()
{
    const QString cue = m_dir.filePath(u"named.cue"_s);
    QFile file(cue);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sheet);
    file.close();
    const QString out = m_dir.filePath(u"cue"_s);
    const CliResult result = runCli({u"split"_s, m_album, u"--cue"_s, cue, u"--out"_s, out});
    QCOMPARE(result.status, 0);
    const QStringList names = mp3sIn(out);
    QCOMPARE(names,
             QStringList({u"01 - Tone Band - Low.mp3"_s, u"02 - Tone Band - Middle.mp3"_s,
                          u"03 - Tone Band - High-Loud.mp3"_s}));
    // Sheet times: 0, 4.000 s, 7.493 s (37 CUE frames), then the end of the file.
    const double starts[] = {0.0, 4.0, 7.0 + 37.0 / 75.0};
    const double total = decodedSeconds(m_album);
    for (int i = 0; i < 3; ++i) {
        const double end = i < 2 ? starts[i + 1] : total;
        const double seconds = decodedSeconds(out + u'/' + names.at(i));
        // Within one frame of 26 ms, plus the decoder's trim of at most one frame.
        QVERIFY2(
            qAbs(seconds - (end - starts[i])) <= 0.027 + 1152.0 / 44100,
            qPrintable(
                u"%1: %2 s, expected %3 s"_s.arg(names.at(i)).arg(seconds).arg(end - starts[i])));
    }
}

void tst_MavlorCli::sheetBesideTheFileIsUsedWithoutBeingNamed()
{
    const QString folder = m_dir.filePath(u"beside"_s);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(m_album, folder + u"/album.mp3"_s));
    QFile file(folder + u"/album.cue"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sheet);
    file.close();
    const QString out = m_dir.filePath(u"beside-out"_s);
    const CliResult result = runCli({u"split"_s, folder + u"/album.mp3"_s, u"--out"_s, out});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains(u"album.cue"_s));
    QCOMPARE(mp3sIn(out).size(), 3);
    QCOMPARE(mp3sIn(out).first(), u"01 - Tone Band - Low.mp3"_s);
}

void tst_MavlorCli::trackSelectionWritesOnlyThoseTracks()
{
    const QString out = m_dir.filePath(u"selection"_s);
    const CliResult result =
        runCli({u"split"_s, m_album, u"--out"_s, out, u"--at"_s, u"2"_s, u"--at"_s, u"4"_s,
                u"--at"_s, u"6"_s, u"--tracks"_s, u"1,3-4"_s});
    QCOMPARE(result.status, 0);
    QCOMPARE(mp3sIn(out),
             QStringList({u"01 - album - album.mp3"_s, u"03 - album - album.mp3"_s,
                          u"04 - album - album.mp3"_s}));
}

void tst_MavlorCli::badInputGivesOneLineErrorAndFailure_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString text = m_dir.filePath(u"notes.mp3"_s);
    QFile file(text);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(5000, 'x'));
    const QString blocker = m_dir.filePath(u"blocker"_s);
    QFile block(blocker);
    if (block.open(QIODevice::WriteOnly))
        block.write("a file where a folder should be");

    QTest::newRow("missing input")
        << QStringList{u"info"_s, m_dir.filePath(u"nothing.mp3"_s)} << u"cannot read"_s;
    QTest::newRow("folder as input") << QStringList{u"info"_s, m_dir.path()} << u"cannot read"_s;
    QTest::newRow("not an MP3") << QStringList{u"info"_s, text} << u"is not an MP3 file"_s;
    QTest::newRow("unwritable folder")
        << QStringList{u"split"_s, m_album, u"--out"_s, blocker + u"/sub"_s}
        << u"cannot write into folder"_s;
    QTest::newRow("bad time") << QStringList{u"split"_s,   m_album,   u"--out"_s,
                                             m_dir.path(), u"--at"_s, u"1:2"_s}
                              << u"--at needs a time"_s;
    QTest::newRow("time with seconds at 60")
        << QStringList{u"split"_s, m_album, u"--out"_s, m_dir.path(), u"--at"_s, u"0:60"_s}
        << u"--at needs a time"_s;
    QTest::newRow("cut past the end")
        << QStringList{u"split"_s, m_album, u"--out"_s, m_dir.filePath(u"past"_s),
                       u"--at"_s,  u"4"_s,  u"--at"_s,  u"1:00:00"_s}
        << u"the cut at 3600.000 s is at or past the end of the file"_s;
    QTest::newRow("track out of range")
        << QStringList{u"split"_s,    m_album, u"--out"_s, m_dir.filePath(u"none"_s),
                       u"--tracks"_s, u"9"_s}
        << u"there is no track 9"_s;
}

void tst_MavlorCli::badInputGivesOneLineErrorAndFailure()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const CliResult result = runCli(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith(u"mavlor-cli: "_s), qPrintable(result.err));
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY2(result.err.trimmed().count(u'\n') <= 4, qPrintable(result.err));
}

void tst_MavlorCli::interruptStopsCleanlyWithFailure()
{
    const QString out = m_dir.filePath(u"interrupted"_s);
    QProcess cli;
    QStringList arguments{u"split"_s, m_long, u"--out"_s, out};
    constexpr int tracks = 200;
    for (int i = 1; i < tracks; ++i)
        arguments << u"--at"_s << QString::number(i * 0.6);
    // Interrupt as Ctrl-C does the moment the first track is reported written, while most
    // of the tracks are still to come.
    bool interrupted = false;
    connect(&cli, &QProcess::readyReadStandardOutput, this, [&] {
        if (!interrupted && cli.canReadLine()) {
            interrupted = true;
            ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        }
    });
    cli.start(QStringLiteral(MAVLOR_CLI_PATH), arguments);
    QVERIFY(cli.waitForStarted());
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY(interrupted);
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY(cli.exitCode() != 0);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.contains(u"stopped"_s), qPrintable(err));
    QVERIFY(mp3sIn(out).size() < tracks);
}

void tst_MavlorCli::repairInPlaceAndToSecondFile()
{
    // A track cut out by hand keeps the album's Xing frame: the repair must renew it.
    const QString out = m_dir.filePath(u"repair"_s);
    QVERIFY(runCli({u"split"_s, m_album, u"--out"_s, out, u"--at"_s, u"6"_s, u"--quiet"_s}).status
            == 0);
    const QString track = out + u"/02 - album - album.mp3"_s;
    QFile original(track);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    const QString copy = out + u"/copy.mp3"_s;
    CliResult result = runCli({u"repair"_s, track, copy, u"--verbose"_s});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains(u"Starting Fix : "_s), qPrintable(result.out));
    QVERIFY(result.out.contains(u"Detail: Found MP3 headers: "_s));
    QVERIFY(result.out.contains(u"Original Xing Frame looks OK - skipping"_s));
    QVERIFY(result.out.trimmed().endsWith(u"State: Skipped"_s));
    QFile copied(copy);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), before);

    // A constant-bitrate file is skipped and left alone in place.
    const QString cbr = m_dir.filePath(u"cbr.mp3"_s);
    Mp3StreamBuilder builder;
    builder.appendFrames(Mp3StreamBuilder::Header{}, 100, 100);
    QVERIFY(builder.save(cbr));
    result = runCli({u"repair"_s, cbr});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains(u"Info: Skipping as the file is not vbr"_s));
    QVERIFY(!result.out.contains(u"Detail:"_s));

    // A VBR stream without a header gets one, in place.
    Mp3StreamBuilder vbr;
    Mp3StreamBuilder::Header high;
    high.bitrateIndex = 11;
    for (int i = 0; i < 50; ++i)
        vbr.appendFrames(i % 2 ? high : Mp3StreamBuilder::Header{}, 1, 100);
    const QString raw = m_dir.filePath(u"raw.mp3"_s);
    QVERIFY(vbr.save(raw));
    result = runCli({u"repair"_s, raw});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.trimmed().endsWith(u"State: Fixed"_s));
    QFile repaired(raw);
    QVERIFY(repaired.open(QIODevice::ReadOnly));
    const QByteArray bytes = repaired.readAll();
    QCOMPARE(bytes.mid(36, 4), QByteArray("Xing"));
    QCOMPARE(bytes.mid(bytes.size() - vbr.size()), vbr.bytes());

    // Failure leaves the file as it was.
    const QString junk = m_dir.filePath(u"junk.mp3"_s);
    QVERIFY(Mp3StreamBuilder().append(QByteArray(3000, 'j')).save(junk));
    result = runCli({u"repair"_s, junk});
    QVERIFY(result.status == 0 || result.status == 1);
    QFile unchanged(junk);
    QVERIFY(unchanged.open(QIODevice::ReadOnly));
    QCOMPARE(unchanged.readAll(), QByteArray(3000, 'j'));
}

void tst_MavlorCli::repairWritesThroughALinkAndEscapesFileBytes()
{
    // Stray bytes between frames are quoted in the unknown-data warning; these would clear
    // the screen and ring the bell if they reached the terminal raw.
    Mp3StreamBuilder vbr;
    Mp3StreamBuilder::Header high;
    high.bitrateIndex = 11;
    for (int i = 0; i < 60; ++i) {
        vbr.appendFrames(i % 2 ? high : Mp3StreamBuilder::Header{}, 1, 100);
        if (i == 30)
            vbr.append(QByteArray("\x1b[2J\x07", 5));
    }
    const QString in = m_dir.filePath(u"escape.mp3"_s);
    const QString target = m_dir.filePath(u"linked-target.mp3"_s);
    const QString link = m_dir.filePath(u"link.mp3"_s);
    QVERIFY(vbr.save(in));
    QVERIFY(Mp3StreamBuilder().append(QByteArray("old")).save(target));
    QVERIFY(QFile::link(target, link));

    const CliResult result = runCli({u"repair"_s, in, link, u"--verbose"_s});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains(u"\\x1B[2J\\x07"_s), qPrintable(result.out));
    QVERIFY(!result.out.contains(QChar(0x1B)) && !result.out.contains(QChar(0x07)));
    // The link stays a link; its target holds the repaired file.
    QVERIFY(QFileInfo(link).isSymLink());
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().mid(36, 4), QByteArray("Xing"));
}

void tst_MavlorCli::failedTrackIsNamedAndPathsEscaped()
{
    // A folder named after a title with an escape sequence, and a second track that starts
    // past the end of the file, so it cannot be written.
    const QString out = m_dir.filePath(u"fail\x1b[31m"_s);
    const QString cue = m_dir.filePath(u"failing.cue"_s);
    QFile sheetFile(cue);
    QVERIFY(sheetFile.open(QIODevice::WriteOnly));
    sheetFile.write("TRACK 01 AUDIO\n  TITLE \"Fine\"\n  INDEX 01 00:00:00\n"
                    "TRACK 02 AUDIO\n  TITLE \"Gone\"\n  INDEX 01 59:00:00\n");
    sheetFile.close();
    const CliResult result = runCli({u"split"_s, m_album, u"--cue"_s, cue, u"--out"_s, out});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(u"track 2"_s), qPrintable(result.err));
    QVERIFY2(result.out.contains(u"fail\\x1B[31m/01"_s), qPrintable(result.out));
    QVERIFY(!result.out.contains(QChar(0x1B)) && !result.err.contains(QChar(0x1B)));
    QCOMPARE(mp3sIn(out).size(), 1);
}

QTEST_GUILESS_MAIN(tst_MavlorCli)
#include "tst_mavlorcli.moc"
