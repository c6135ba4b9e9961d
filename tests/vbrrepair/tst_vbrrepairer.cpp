#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

#include "encodedaudio.h"
#include "mp3streambuilder.h"
#include "recordingfeedback.h"
#include "referencecrc.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using H = Mp3StreamBuilder::Header;

namespace {

const QByteArray kUntouched("previous output");

H makeHeader(Mp3StreamBuilder::Version version, Mp3StreamBuilder::ChannelMode mode,
             int bitrateIndex)
{
    H h;
    h.version = version;
    h.mode = mode;
    h.bitrateIndex = bitrateIndex;
    return h;
}

// count frames alternating between two bitrates, so the stream is VBR.
QByteArray vbrFrames(int count,
                     H low = makeHeader(Mp3StreamBuilder::Mpeg1, Mp3StreamBuilder::JointStereo, 9),
                     int highIndex = 10)
{
    H high = low;
    high.bitrateIndex = highIndex;
    Mp3StreamBuilder b;
    for (int i = 0; i < count; ++i)
        b.append(Mp3StreamBuilder::frame(i % 2 ? high : low, -1, char('a' + i % 20)));
    return b.bytes();
}

struct Run
{
    RecordingFeedBack feedBack;
    int state = 0;
    bool touched = false;
    QByteArray output;
};

class RepairFixture
{
public:
    // Repairs input into an output that held kUntouched; false when the files could not be
    // set up or read back, or when the input was written.
    bool run(const QByteArray &input, const RepairSettings &settings, Run &out,
             std::function<bool(const VbrRepairer &)> stopWhen = {})
    {
        const QString in = m_dir.filePath(u"in.mp3"_s);
        const QString outPath = m_dir.filePath(u"out.mp3"_s);
        if (!m_dir.isValid() || !Mp3StreamBuilder().append(input).save(in)
            || !Mp3StreamBuilder().append(kUntouched).save(outPath))
            return false;
        VbrRepairer repairer(out.feedBack, settings);
        if (stopWhen)
            out.feedBack.stopWhen = [&] { return stopWhen(repairer); };
        repairer.fix(in.toStdString(), outPath.toStdString());
        out.state = repairer.state();
        out.touched = repairer.outputTouched();
        QFile file(outPath);
        QFile inFile(in);
        if (!file.open(QIODevice::ReadOnly) || !inFile.open(QIODevice::ReadOnly))
            return false;
        out.output = file.readAll();
        // The input is never written.
        return inFile.readAll() == input;
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

} // namespace

class tst_VbrRepairer : public QObject
{
    Q_OBJECT

private slots:
    void skipRulesLeaveOutputUntouched_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("alwaysSkip");
        QTest::addColumn<int>("minPercent");
        QTest::addColumn<bool>("skipNonVbr");
        QTest::addColumn<int>("level");
        QTest::addColumn<QByteArray>("message");
        Mp3StreamBuilder cbr;
        cbr.appendFrames(H{}, 10);
        QTest::newRow("constant bitrate")
            << cbr.bytes() << false << 99 << true << int(FeedBackInterface::Info)
            << QByteArray("Skipping as the file is not vbr");
        // 96 junk bytes in 4791 are 2.0%: 98% understood.
        const QByteArray twoPercent = vbrFrames(10) + QByteArray(96, 'z');
        QTest::newRow("2% unknown")
            << twoPercent << false << 99 << true << int(FeedBackInterface::Error)
            << QByteArray("Only 98% understood, minimum allowed is 99%; skipping");
        QTest::newRow("no frames, some bytes")
            << QByteArray(500, 'z') << false << 99 << true << int(FeedBackInterface::Error)
            << QByteArray("Only 0% understood, minimum allowed is 99%; skipping");
        QTest::newRow("always skip")
            << vbrFrames(10) << true << 99 << true << int(FeedBackInterface::Info)
            << QByteArray("Always Skip is on; skipping file");
        QTest::newRow("no frames at all")
            << Mp3StreamBuilder::id3v1() << false << 0 << false << int(FeedBackInterface::Error)
            << QByteArray("The mp3 has no identified frames ; skipping");
    }
    void skipRulesLeaveOutputUntouched()
    {
        QFETCH(QByteArray, input);
        RepairSettings settings;
        QFETCH(bool, alwaysSkip);
        settings.alwaysSkip = alwaysSkip;
        QFETCH(int, minPercent);
        settings.minPercentUnderstood = minPercent;
        QFETCH(bool, skipNonVbr);
        settings.skipNonVbr = skipNonVbr;
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(input, settings, run));
        QCOMPARE(run.state, int(VbrRepairer::Skipped));
        QFETCH(int, level);
        QFETCH(QByteArray, message);
        QVERIFY2(run.feedBack.has(level, message), run.feedBack.texts(level).join('|').constData());
        QCOMPARE(run.output, kUntouched);
        QVERIFY(!run.touched);
    }

    void newXingReplacesOldBetweenTheTags_data()
    {
        QTest::addColumn<QByteArray>("oldHeader");
        QTest::newRow("old Xing frame") << Mp3StreamBuilder::xingFrame(
            H{}, 15, 3, 999, QByteArray(100, 7), 57, Mp3StreamBuilder::lameExtension());
        QTest::newRow("VBRI frame") << Mp3StreamBuilder::vbriFrame(H{});
    }
    void newXingReplacesOldBetweenTheTags()
    {
        QFETCH(QByteArray, oldHeader);
        const QByteArray id3v2 = Mp3StreamBuilder::id3v2(300);
        const QByteArray audio = vbrFrames(20);
        const QByteArray id3v1 = Mp3StreamBuilder::id3v1();
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(id3v2 + oldHeader + audio + id3v1, RepairSettings(), run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        QVERIFY(run.touched);
        const qsizetype xingSize = run.output.size() - id3v2.size() - audio.size() - id3v1.size();
        QCOMPARE(xingSize, 417);
        QCOMPARE(run.output.left(id3v2.size()), id3v2);
        QCOMPARE(run.output.mid(id3v2.size() + 36, 4), QByteArray("Xing"));
        QCOMPARE(run.output.mid(id3v2.size() + xingSize, audio.size()), audio);
        QCOMPARE(run.output.right(id3v1.size()), id3v1);
        const QByteArray xing = run.output.mid(id3v2.size(), xingSize);
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 44, 4), 20u); // frames
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 48, 4),
                 quint32(audio.size() + xingSize)); // bytes
        const QByteArray sizes = "New File Size = " + QByteArray::number(run.output.size())
            + ", Audio Stream Size = " + QByteArray::number(audio.size() + xingSize);
        QVERIFY(run.feedBack.has(FeedBackInterface::Info, sizes));
        QVERIFY(run.feedBack.has(FeedBackInterface::Info, "Finished Fix"));
    }

    void headerListNamesCountsAndDominantHeader()
    {
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(vbrFrames(5), RepairSettings(), run));
        QCOMPARE(run.feedBack.texts(FeedBackInterface::Detail),
                 QList<QByteArray>{"Found MP3 headers: [x3]0xFFFB9040 [x2]0xFFFBA040 "});
        // The dominant 128k header sets the new frame's header.
        QCOMPARE(Mp3StreamBuilder::bigEndian(run.output, 0, 4), 0xFFFB9040u);
    }

    void inputErrorsFailWithTheirText_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("error");
        QByteArray free = Mp3StreamBuilder::frame(H{});
        free[2] = char(free[2] & 0x0F);
        QTest::newRow("free format")
            << vbrFrames(4) + free << QByteArray("Frame uses free bitrate, not supported");
        QTest::newRow("Info tag") << Mp3StreamBuilder::xingFrame(H{}, 15, 1, 2, {}, 0, {}, "Info")
                + vbrFrames(4)
                                  << QByteArray(
                                         "The repair engine doesn't currently support Lame 'Info' "
                                         "tags as this is usually associated with CBR files");
        QTest::newRow("Lyrics3 without ID3v1")
            << vbrFrames(10) + Mp3StreamBuilder::lyrics3v2(100)
            << QByteArray("Resultant mp3 has a Lyrics3 tag but no Id3v1 tag. Please add an Id3v1 "
                          "tag or choose to remove the Lyrics tag");
    }
    void inputErrorsFailWithTheirText()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, error);
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(input, RepairSettings(), run));
        QCOMPARE(run.state, int(VbrRepairer::Failed));
        QCOMPARE(run.feedBack.texts(FeedBackInterface::Error), QList<QByteArray>{error});
        QCOMPARE(run.output, kUntouched);
    }

    void oddFramesAtTheEndAreCopiedAsAudio_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("skipFree");
        QByteArray free = Mp3StreamBuilder::frame(H{});
        free[2] = char(free[2] & 0x0F);
        QTest::newRow("free format frame, skipped when asked") << free << true;
        // A 32 kbit/s frame (104 bytes) cannot hold the fields its flags announce; as the
        // last thing in the file they would be read past its end.
        QTest::newRow("Xing fields past the frame end") << Mp3StreamBuilder::xingFrame(
            makeHeader(Mp3StreamBuilder::Mpeg1, Mp3StreamBuilder::JointStereo, 1), 15, 1, 2)
                                                        << false;
    }
    void oddFramesAtTheEndAreCopiedAsAudio()
    {
        QFETCH(QByteArray, tail);
        RepairSettings settings;
        QFETCH(bool, skipFree);
        settings.skipFreeBitrateFrames = skipFree;
        settings.minPercentUnderstood = 0;
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(vbrFrames(30) + tail, settings, run));
        QCOMPARE(run.feedBack.texts(FeedBackInterface::Error), QList<QByteArray>());
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        QVERIFY(run.output.endsWith(tail));
    }

    void unopenableOutputFailsUntouched()
    {
        RepairFixture fixture;
        const QString in = fixture.path(u"in.mp3"_s);
        QVERIFY(Mp3StreamBuilder().append(vbrFrames(30)).save(in));
        RecordingFeedBack feedBack;
        RepairSettings settings;
        VbrRepairer repairer(feedBack, settings);
        repairer.fix(in.toStdString(), fixture.path(u"missing/out.mp3"_s).toStdString());
        QCOMPARE(repairer.state(), int(VbrRepairer::Failed));
        // Nothing was opened, so there is nothing to restore.
        QVERIFY(!repairer.outputTouched());
    }

    void firstFailedWriteFailsTheRepair()
    {
        // A child process under a file-size limit, with SIGXFSZ ignored so that writes past
        // it fail with EFBIG as on a full disk.
        RepairFixture fixture;
        const QString in = fixture.path(u"in.mp3"_s);
        const QString out = fixture.path(u"out.mp3"_s);
        QVERIFY(Mp3StreamBuilder().append(vbrFrames(2000)).save(in));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            RecordingFeedBack feedBack;
            RepairSettings settings;
            VbrRepairer repairer(feedBack, settings);
            repairer.fix(in.toStdString(), out.toStdString());
            const bool sizeReported = std::any_of(
                feedBack.messages.begin(), feedBack.messages.end(),
                [](const FeedBackMessage &m) { return m.text.rfind("New File Size", 0) == 0; });
            const bool writeError = feedBack.has(FeedBackInterface::Error, "File Write error");
            // The loop must end at the first failed write, long before the 2000 frames.
            const bool stoppedEarly = repairer.writeProgress() < 50;
            ::_exit(repairer.state() * 8 + sizeReported * 4 + writeError * 2 + stoppedEarly);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        const int code = WEXITSTATUS(status);
        QCOMPARE(code / 8, int(VbrRepairer::Failed));
        QVERIFY2(!(code & 4), "New File Size reported for a failed write");
        QVERIFY(code & 2);
        QVERIFY2(code & 1, "kept writing after the first failed write");
    }

    void unopenableInputFails()
    {
        RecordingFeedBack feedBack;
        RepairSettings settings;
        VbrRepairer repairer(feedBack, settings);
        QCOMPARE(repairer.state(), int(VbrRepairer::Created));
        repairer.fix("/nonexistent/in.mp3", "/nonexistent/out.mp3");
        QCOMPARE(repairer.state(), int(VbrRepairer::Failed));
        QCOMPARE(feedBack.texts(FeedBackInterface::Error),
                 QList<QByteArray>{"Failed To Open File : /nonexistent/in.mp3"});
    }

    void stopKeepsWhatWasWritten_data()
    {
        QTest::addColumn<int>("stopIn");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("touched");
        QTest::newRow("while reading: nothing is written")
            << int(VbrRepairer::Reading) << 5 << false;
        // The first stop check follows the first object written.
        QTest::newRow("while writing: the first object is")
            << int(VbrRepairer::Writing) << 0 << true;
    }
    void stopKeepsWhatWasWritten()
    {
        QFETCH(int, stopIn);
        QFETCH(int, questions);
        QFETCH(bool, touched);
        const QByteArray id3v2 = Mp3StreamBuilder::id3v2(300);
        RepairFixture fixture;
        Run run;
        int asked = 0;
        QVERIFY(
            fixture.run(id3v2 + vbrFrames(40), RepairSettings(), run, [&](const VbrRepairer &r) {
                asked += r.state() == stopIn; // a stop, once asked for, stays asked for
                return asked > questions;
            }));
        QCOMPARE(run.state, int(VbrRepairer::Stopped));
        QCOMPARE(run.touched, touched);
        QCOMPARE(run.output, touched ? id3v2 : kUntouched);
    }

    void repairingTwiceEqualsRepairingOnce()
    {
        const QByteArray input = Mp3StreamBuilder::id3v2(50)
            + Mp3StreamBuilder::xingFrame(H{}, 15, 3, 999, {}, 57,
                                          Mp3StreamBuilder::lameExtension())
            + vbrFrames(60) + Mp3StreamBuilder::apeTag(2000, 30) + Mp3StreamBuilder::id3v1();
        RepairSettings settings;
        settings.skipIfXingUnchanged = false;
        RepairFixture fixture;
        Run once;
        QVERIFY(fixture.run(input, settings, once));
        QCOMPARE(once.state, int(VbrRepairer::Fixed));
        Run twice;
        QVERIFY(fixture.run(once.output, settings, twice));
        QCOMPARE(twice.state, int(VbrRepairer::Fixed));
        QCOMPARE(twice.output, once.output);

        Run byDefault;
        QVERIFY(fixture.run(once.output, RepairSettings(), byDefault));
        QCOMPARE(byDefault.state, int(VbrRepairer::Skipped));
        QVERIFY(byDefault.feedBack.has(FeedBackInterface::Info,
                                       "Original Xing Frame looks OK - skipping"));
        QCOMPARE(byDefault.output, kUntouched);
    }

    void bytesOutsideTheNewXingFrameAreTheInputObjects()
    {
        const QByteArray before = Mp3StreamBuilder::id3v2(80) + QByteArray(3, 'j');
        const QByteArray oldXing = Mp3StreamBuilder::xingFrame(H{}, 7, 3, 999, QByteArray(100, 1));
        const QByteArray after = vbrFrames(150) + QByteArray(2, 'k')
            + Mp3StreamBuilder::lyrics3v1(40) + Mp3StreamBuilder::id3v1();
        RepairSettings settings;
        settings.minPercentUnderstood = 0;
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(before + oldXing + after, settings, run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        const qsizetype xingSize = run.output.size() - before.size() - after.size();
        QCOMPARE(run.output.left(before.size()), before);
        QCOMPARE(run.output.mid(before.size() + xingSize), after);
    }

    void lameTagDescribesTheNewStream_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("bitrateIndex");
        QTest::addColumn<int>("xingOffset");
        QTest::addColumn<bool>("keepDelay");
        QTest::addColumn<bool>("keepPadding");
        const int m1 = Mp3StreamBuilder::Mpeg1, m2 = Mp3StreamBuilder::Mpeg2;
        const int joint = Mp3StreamBuilder::JointStereo, mono = Mp3StreamBuilder::Mono;
        QTest::newRow("offset 36, keep both") << m1 << joint << 9 << 36 << true << true;
        QTest::newRow("offset 36, zero both") << m1 << joint << 9 << 36 << false << false;
        QTest::newRow("offset 36, delay only") << m1 << joint << 9 << 36 << true << false;
        QTest::newRow("offset 36, padding only") << m1 << joint << 9 << 36 << false << true;
        QTest::newRow("offset 21 MPEG-1 mono") << m1 << mono << 9 << 21 << false << true;
        QTest::newRow("offset 21 MPEG-2 stereo") << m2 << joint << 8 << 21 << true << false;
        QTest::newRow("offset 13 MPEG-2 mono") << m2 << mono << 8 << 13 << false << false;
    }
    void lameTagDescribesTheNewStream()
    {
        QFETCH(int, version);
        QFETCH(int, mode);
        QFETCH(int, bitrateIndex);
        QFETCH(int, xingOffset);
        QFETCH(bool, keepDelay);
        QFETCH(bool, keepPadding);
        const H low = makeHeader(Mp3StreamBuilder::Version(version),
                                 Mp3StreamBuilder::ChannelMode(mode), bitrateIndex);
        QByteArray lame = Mp3StreamBuilder::lameExtension(576, 1000, 123456789);
        // Peak, radio (track) gain and audiophile (album) gain of the whole encoding.
        lame.replace(11, 8,
                     QByteArray::fromHex("3f800000"
                                         "2c71"
                                         "4c72"));
        const QByteArray oldXing = Mp3StreamBuilder::xingFrame(
            low, 15, 900, 9999, QByteArray(100, 3), 78, lame + QByteArray(60, 'L'));
        const QByteArray audio = vbrFrames(30, low, bitrateIndex + 1);
        const QByteArray id3v2 = Mp3StreamBuilder::id3v2(20);
        RepairSettings settings;
        settings.keepEncoderDelay = keepDelay;
        settings.keepEncoderPadding = keepPadding;
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(id3v2 + oldXing + audio, settings, run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        const qsizetype xingSize = run.output.size() - id3v2.size() - audio.size();
        const QByteArray xing = run.output.mid(id3v2.size(), xingSize);
        QCOMPARE(xing.mid(xingOffset, 4), QByteArray("Xing"));
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, xingOffset + 4, 4), 15u);
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, xingOffset + 116, 4),
                 78u); // quality carried over
        const int lameAt = xingOffset + 120;
        QCOMPARE(xing.mid(lameAt, 9), QByteArray("LAME3.100"));
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, lameAt + 28, 4),
                 quint32(xingSize + audio.size()));
        QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(xing, lameAt + 32, 2)),
                 ReferenceCrc::arc(audio));
        const quint32 delayPadding = Mp3StreamBuilder::bigEndian(xing, lameAt + 21, 3);
        QCOMPARE(int(delayPadding >> 12), keepDelay ? 576 : 0);
        QCOMPARE(int(delayPadding & 0xFFF), keepPadding ? 1000 : 0);
        QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(xing, lameAt + 34, 2)),
                 ReferenceCrc::arc(xing.left(lameAt + 34)));
        // The rest of the LAME data is carried as it was.
        const QByteArray rest = oldXing.mid(lameAt + 36);
        QVERIFY(rest.startsWith("LLLL"));
        QCOMPARE(xing.mid(lameAt + 36, rest.size()), rest);
        QCOMPARE(xing.mid(lameAt, 11), lame.left(11));
        // The whole file's peak and track gain are not this stream's; the album gain is.
        QCOMPARE(xing.mid(lameAt + 11, 6), QByteArray(6, '\0'));
        QCOMPARE(xing.mid(lameAt + 17, 4), lame.mid(17, 4));
    }

    void lameDataThatIsNoValidTagIsCopied_data()
    {
        QTest::addColumn<QByteArray>("lame");
        const QByteArray tag = Mp3StreamBuilder::lameExtension(576, 1000, 123456789);
        QByteArray badCrc = tag;
        badCrc[35] = 1;
        QByteArray revision15 = tag;
        revision15[9] = char(0xF4);
        QTest::newRow("tag CRC wrong") << badCrc;
        QTest::newRow("unknown revision") << revision15;
        QTest::newRow("shorter than a tag") << tag.left(30);
    }
    void lameDataThatIsNoValidTagIsCopied()
    {
        QFETCH(QByteArray, lame);
        const QByteArray oldXing = Mp3StreamBuilder::xingFrame(H{}, 15, 900, 9999, {}, 0, lame);
        const QByteArray audio = vbrFrames(30);
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(oldXing + audio, RepairSettings(), run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        // Written into what is not a LAME tag, fields and a fresh CRC would make decoders
        // trust garbage delay and padding.
        QCOMPARE(run.output.mid(156, lame.size()), oldXing.mid(156, lame.size()));
    }

    void literalMusicCrcWhenRepairIsOff()
    {
        const QByteArray oldXing = Mp3StreamBuilder::xingFrame(H{}, 15, 900, 9999, {}, 0,
                                                               Mp3StreamBuilder::lameExtension());
        const QByteArray audio = vbrFrames(30);
        RepairSettings settings;
        settings.repairLameTag = false;
        settings.lameInfoMode = 3;
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(oldXing + audio, settings, run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(run.output, 188, 2)),
                 ReferenceCrc::arc(audio));
        QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(run.output, 190, 2)),
                 ReferenceCrc::arc(run.output.left(190)));
        // Music length stays the album's: the unmended modes leave it alone.
        QCOMPARE(Mp3StreamBuilder::bigEndian(run.output, 156 + 28, 4), 0u);
    }

    void fallbackFrameSuppliesLameDataForTracks_data()
    {
        QTest::addColumn<bool>("withFallback");
        QTest::newRow("with fallback") << true;
        QTest::newRow("without") << false;
    }
    void fallbackFrameSuppliesLameDataForTracks()
    {
        QFETCH(bool, withFallback);
        const QByteArray album =
            Mp3StreamBuilder::xingFrame(H{}, 15, 5000, 2000000, QByteArray(100, 9), 66,
                                        Mp3StreamBuilder::lameExtension(576, 800, 2000000), "Info");
        const QByteArray audio = vbrFrames(30);
        RepairSettings settings;
        settings.keepEncoderDelay = false;
        if (withFallback)
            settings.fallbackLameFrame.assign(album.begin(), album.end());
        RepairFixture fixture;
        Run run;
        QVERIFY(fixture.run(audio, settings, run));
        QCOMPARE(run.state, int(VbrRepairer::Fixed));
        const QByteArray xing = run.output.left(run.output.size() - audio.size());
        if (!withFallback) {
            QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 40, 4), 7u);
            QCOMPARE(xing.mid(156 - 4, 4), QByteArray(4, '\0'));
            return;
        }
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 40, 4), 15u);
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 152, 4), 66u);
        QCOMPARE(xing.mid(156, 4), QByteArray("LAME"));
        QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 156 + 28, 4),
                 quint32(xing.size() + audio.size()));
        QCOMPARE(int(Mp3StreamBuilder::bigEndian(xing, 156 + 21, 3) >> 12), 0);
        QCOMPARE(int(Mp3StreamBuilder::bigEndian(xing, 156 + 21, 3) & 0xFFF), 800);
        QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(xing, 190, 2)),
                 ReferenceCrc::arc(xing.left(190)));
    }

    void realLameTrackDecodesWithTrueHeader();
};

namespace {

// MPEG-1 Layer III frame length, from ISO/IEC 11172-3 (the only kind lame -V2 at 44.1 kHz writes).
int mpeg1Layer3Size(const QByteArray &bytes, qsizetype at)
{
    static const int kbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                 112, 128, 160, 192, 224, 256, 320, 0};
    if (at + 4 > bytes.size() || quint8(bytes[at]) != 0xFF
        || (quint8(bytes[at + 1]) & 0xFE) != 0xFA)
        return 0;
    const int rate = kbps[quint8(bytes[at + 2]) >> 4];
    const bool padding = quint8(bytes[at + 2]) & 0x02;
    return rate ? 144 * rate * 1000 / 44100 + (padding ? 1 : 0) : 0;
}

quint32 pngCrc(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    Mp3StreamBuilder::putBigEndian32(chunk, 0, quint32(data.size()));
    QByteArray crc(4, '\0');
    Mp3StreamBuilder::putBigEndian32(crc, 0, pngCrc(type + data));
    return chunk + type + data + crc;
}

// A real 48x48 RGB PNG of noise: its compressed data is full of 0xFF bytes.
QByteArray noisePng()
{
    const int side = 48;
    QByteArray raw;
    quint32 state = 12345;
    for (int y = 0; y < side; ++y) {
        raw += '\0';
        for (int x = 0; x < side * 3; ++x) {
            state = state * 1103515245u + 12345u;
            raw += char(state >> 24);
        }
    }
    QByteArray header(13, '\0');
    Mp3StreamBuilder::putBigEndian32(header, 0, side);
    Mp3StreamBuilder::putBigEndian32(header, 4, side);
    header[8] = 8;
    header[9] = 2;
    return QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header)
        + pngChunk("IDAT", qCompress(raw).mid(4)) + pngChunk("IEND", {});
}

QByteArray id3v2WithPicture()
{
    const QByteArray picture = noisePng();
    QByteArray apic = QByteArray(1, '\0') + "image/png" + QByteArray(1, '\0') + char(3)
        + QByteArray(1, '\0') + picture;
    QByteArray frame = "APIC" + QByteArray(4, '\0') + QByteArray(2, '\0') + apic;
    Mp3StreamBuilder::putBigEndian32(frame, 4, quint32(apic.size()));
    QByteArray tag = "ID3" + QByteArray::fromHex("030000") + QByteArray(4, '\0') + frame;
    Mp3StreamBuilder::putBigEndian32(tag, 6, Mp3StreamBuilder::syncsafe(int(frame.size())));
    return tag;
}

} // namespace

void tst_VbrRepairer::realLameTrackDecodesWithTrueHeader()
{
    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
        QSKIP("lame and ffmpeg are needed");
    RepairFixture fixture;
    const QString encoded = fixture.path(u"album.mp3"_s);
    QString error;
    QList<EncodedAudio::Tone> tones;
    for (int i = 0; i < 6; ++i)
        tones.append({2.0, i % 2 ? 0.0 : 300.0 + 150.0 * i, 0.6});
    QVERIFY2(EncodedAudio::encode(encoded, tones, 44100, 2, {u"-V2"_s}, &error), qPrintable(error));
    QFile file(encoded);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray lameOut = file.readAll();

    // Walk lame's frames: the first is its information frame.
    QList<qsizetype> starts;
    for (qsizetype at = 0; at < lameOut.size();) {
        const int size = mpeg1Layer3Size(lameOut, at);
        if (size == 0)
            break;
        starts.append(at);
        at += size;
    }
    QVERIFY(starts.size() > 400);
    const QByteArray infoFrame = lameOut.left(starts[1]);
    QVERIFY(infoFrame.contains("LAME"));

    // A middle track: frames 150 to 350 of the album, with its tags around them.
    const qsizetype from = starts[150], to = starts[350];
    const QByteArray frames = lameOut.mid(from, to - from);
    const QByteArray id3v2 = id3v2WithPicture();
    const QByteArray trailer = Mp3StreamBuilder::apeTag(2000, 40) + Mp3StreamBuilder::id3v1();

    RepairSettings settings;
    settings.fallbackLameFrame.assign(infoFrame.begin(), infoFrame.end());
    settings.keepEncoderDelay = false;
    settings.keepEncoderPadding = false;
    Run run;
    QVERIFY(fixture.run(id3v2 + frames + trailer, settings, run));
    QCOMPARE(run.state, int(VbrRepairer::Fixed));
    QVERIFY(run.output.startsWith(id3v2));
    QVERIFY(run.output.endsWith(frames + trailer));
    const QByteArray xing = run.output.mid(
        id3v2.size(), run.output.size() - id3v2.size() - frames.size() - trailer.size());
    QCOMPARE(xing.mid(36, 4), QByteArray("Xing"));
    QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 44, 4), 200u);
    QCOMPARE(Mp3StreamBuilder::bigEndian(xing, 48, 4), quint32(xing.size() + frames.size()));
    QCOMPARE(quint16(Mp3StreamBuilder::bigEndian(xing, 190, 2)), ReferenceCrc::arc(xing.left(190)));

    const QString repaired = fixture.path(u"track.mp3"_s);
    QVERIFY(Mp3StreamBuilder().append(run.output).save(repaired));
    const EncodedAudio::Decoded decoded = EncodedAudio::decode(repaired);
    QVERIFY2(decoded.ok, qPrintable(decoded.errors));
    QVERIFY2(decoded.errors.isEmpty(), qPrintable(decoded.errors));
    QCOMPARE(decoded.sampleRate, 44100);
    const double decodedSeconds = double(decoded.samples) / decoded.sampleRate;
    const double probed = EncodedAudio::probedDuration(repaired);
    QVERIFY2(qAbs(probed - decodedSeconds) <= 1152.0 / 44100.0,
             qPrintable(u"probed %1 s, decoded %2 s"_s.arg(probed).arg(decodedSeconds)));
    QVERIFY(qAbs(decodedSeconds - 200 * 1152.0 / 44100.0) <= 1152.0 / 44100.0);
}

QTEST_APPLESS_MAIN(tst_VbrRepairer)
#include "tst_vbrrepairer.moc"
