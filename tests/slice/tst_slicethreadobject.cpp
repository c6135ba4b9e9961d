#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mp3streambuilder.h"
#include "slicerun.h"
#include "trackfile.h"

using namespace Qt::StringLiterals;

namespace {

using Header = Mp3StreamBuilder::Header;

QByteArray cbrStream(int frames)
{
    Mp3StreamBuilder builder;
    builder.appendFrames(Header{}, frames, 100);
    return builder.bytes();
}

// Alternating 128 and 160 kbit/s frames behind a Xing frame with a LAME extension.
QByteArray vbrStream(int frames)
{
    Header low;
    Header high;
    high.bitrateIndex = 10;
    Mp3StreamBuilder builder;
    builder.append(Mp3StreamBuilder::xingFrame(Header{}, 15, frames, 0, QByteArray(100, 1), 55,
                                               Mp3StreamBuilder::lameExtension(576, 1200)));
    for (int i = 0; i < frames; ++i)
        builder.append(Mp3StreamBuilder::frame(i % 2 ? high : low, 90 + i % 50));
    return builder.bytes();
}

} // namespace

class tst_SliceThreadObject : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entryAtRoundsToNearestEntry_data();
    void entryAtRoundsToNearestEntry();
    void constantBitrateNeighboursShareTheirBoundaryEntry();
    void tracksAreNamedAndTagged();
    void keptTracksOfOneNameAreAllWritten();
    void variableBitrateTracksGetTheirOwnXingFrame();
    void stopDuringSecondTrackKeepsOnlyTheFirst();
    void unwritableTracksAreReportedAndNothingIsWritten_data();
    void unwritableTracksAreReportedAndNothingIsWritten();
    void titleNearTheNameLimitGetsItsXingFrame();
    void fullDiskIsReportedAndNeverCallsATrackOnDiskUnwritten_data();
    void fullDiskIsReportedAndNeverCallsATrackOnDiskUnwritten();
    void progressIsReportedOncePerWholePercent();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SliceThreadObject::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_SliceThreadObject::entryAtRoundsToNearestEntry_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("entry");
    QTest::newRow("0") << 0 << 44100 << 0;
    QTest::newRow("10 s at 44.1k is 382.8") << 10000 << 44100 << 383;
    QTest::newRow("20 s at 44.1k is 765.6") << 20000 << 44100 << 766;
    QTest::newRow("one entry at 48k is 24 ms") << 24 << 48000 << 1;
    QTest::newRow("just under a half entry") << 13 << 44100 << 0;
    QTest::newRow("an hour at 22.05k") << 3600000 << 22050 << 68906;
}

void tst_SliceThreadObject::entryAtRoundsToNearestEntry()
{
    QFETCH(int, ms);
    QFETCH(int, rate);
    QFETCH(int, entry);
    QCOMPARE(SliceThreadObject::entryAt(ms, rate), entry);
}

void tst_SliceThreadObject::constantBitrateNeighboursShareTheirBoundaryEntry()
{
    const QByteArray source = cbrStream(1000);
    SliceRun run;
    QVERIFY(run.open(m_dir->filePath(u"album.mp3"_s), source));
    const QString out = m_dir->filePath(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    run.begin(out, {Track{u"T1"_s, u"A"_s, 1, 0, 10000}, Track{u"T2"_s, u"A"_s, 2, 10000, 20000}});
    QVERIFY(run.waitForEnd());

    const TrackFile first = TrackFile::read(out + u"/01 - A - T1.mp3"_s);
    const TrackFile second = TrackFile::read(out + u"/02 - A - T2.mp3"_s);
    // 10 s at 44.1 kHz are 382.8 entries, 20 s are 765.6: the boundary is entry 383.
    QCOMPARE(first.audio, source.left(383 * 417));
    QCOMPARE(second.audio, source.mid(383 * 417, 383 * 417));
    // Constant-bitrate tracks stay as written, without a Xing frame.
    QVERIFY(first.xingFrame.isEmpty());
    QVERIFY(second.xingFrame.isEmpty());
}

void tst_SliceThreadObject::tracksAreNamedAndTagged()
{
    const QString path = m_dir->filePath(u"album.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, cbrStream(300)));
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    run.begin(m_dir->path(),
              {Track{u"T"_s, u"A"_s, 2, 0, 3000}, Track{u"Títle ü"_s, u"AC/DC"_s, 3, 3000, 6000},
               Track{QString(), QString(), 4, 6000, 7000}});
    QVERIFY(run.waitForEnd());
    QCOMPARE(written.count(), 3);

    const QString a = m_dir->filePath(u"02 - A - T.mp3"_s);
    // TagLib filled the tag space reserved in front of the frames instead of shifting them.
    const TrackFile first = TrackFile::read(a);
    QCOMPARE(first.id3v2Size, 1034);
    // Written under a private temporary name, the track still gets a new file's permissions.
    QFile plain(m_dir->filePath(u"plain"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(a).permissions(), plain.permissions());
    QCOMPARE(first.artist, u"A"_s);
    QCOMPARE(first.title, u"T"_s);
    const TrackFile second = TrackFile::read(m_dir->filePath(u"03 - AC-DC - Títle ü.mp3"_s));
    QCOMPARE(second.artist, u"AC/DC"_s);
    QCOMPARE(second.title, u"Títle ü"_s);
    QVERIFY(QFile::exists(m_dir->filePath(u"track04.mp3"_s)));
}

void tst_SliceThreadObject::keptTracksOfOneNameAreAllWritten()
{
    // Several tracks are on their way to their names at once; none may take another's.
    const QString path = m_dir->filePath(u"album.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, cbrStream(300)));
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    run.object.setKeepExisting(true);
    run.begin(m_dir->path(),
              {Track{u"T"_s, u"A"_s, 1, 0, 2000}, Track{u"T"_s, u"A"_s, 1, 2000, 4000},
               Track{u"T"_s, u"A"_s, 1, 4000, 6000}});
    QVERIFY(run.waitForEnd());
    QCOMPARE(written.count(), 3);
    for (const QString &name :
         {u"01 - A - T.mp3"_s, u"01 - A - T (2).mp3"_s, u"01 - A - T (3).mp3"_s})
        QVERIFY2(QFile::exists(m_dir->filePath(name)), qPrintable(name));
}

void tst_SliceThreadObject::variableBitrateTracksGetTheirOwnXingFrame()
{
    const int frames = 600;
    const QByteArray source = vbrStream(frames);
    const QString path = m_dir->filePath(u"vbr.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, source));
    QCOMPARE(run.index->frameCount(), frames); // the leading Xing frame is no entry
    run.begin(m_dir->path(),
              {Track{u"one"_s, u"a"_s, 1, 0, 6000}, Track{u"two"_s, u"a"_s, 2, 6000, 15673}});
    QVERIFY(run.waitForEnd());

    const QByteArray audio = source.mid(Header{}.frameSize());
    const int boundary = 230; // 6 s at 44.1 kHz are 229.7 entries
    qsizetype offset = 0;
    for (int i = 0; i < boundary; ++i)
        offset += TrackFile::frameSize(audio, offset);

    for (const auto &[name, from, count] :
         {std::tuple{u"01 - a - one.mp3"_s, qsizetype(0), boundary},
          std::tuple{u"02 - a - two.mp3"_s, offset, frames - boundary}}) {
        const TrackFile track = TrackFile::read(m_dir->filePath(name));
        QVERIFY2(!track.xingFrame.isEmpty(), qPrintable(name));
        const int at = TrackFile::xingOffset(track.xingFrame, 0);
        QCOMPARE(Mp3StreamBuilder::bigEndian(track.xingFrame, at + 8, 4), quint32(count));
        QCOMPARE(Mp3StreamBuilder::bigEndian(track.xingFrame, at + 12, 4),
                 quint32(track.audio.size()));
        QCOMPARE(track.frames, audio.mid(from, track.frames.size()));
        QCOMPARE(track.xingFrame.mid(at + 120, 4), QByteArray("LAME"));
    }
}

void tst_SliceThreadObject::stopDuringSecondTrackKeepsOnlyTheFirst()
{
    const QString path = m_dir->filePath(u"long.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, cbrStream(6000)));
    // Stop from the slice thread itself half way through the second track's copy.
    connect(
        &run.object, &SliceThreadObject::sliceProgress, &run.object,
        [&](SliceProgress progress) {
            if (progress.track == 2 && progress.percent >= 50)
                run.object.stop();
        },
        Qt::DirectConnection);
    run.begin(m_dir->path(),
              {Track{u"1"_s, u"a"_s, 1, 0, 50000}, Track{u"2"_s, u"a"_s, 2, 50000, 100000},
               Track{u"3"_s, u"a"_s, 3, 100000, 150000}});
    QVERIFY(run.waitForEnd());
    const int perTrack = 1914 * 417; // 50 s at 44.1 kHz are 1914.06 entries
    QCOMPARE(TrackFile::read(m_dir->filePath(u"01 - a - 1.mp3"_s)).audio.size(), perTrack);
    // The track cut short never takes its name, and leaves no temporary file behind.
    QCOMPARE(QDir(m_dir->path()).entryList({u"0*"_s}, QDir::Files | QDir::Hidden),
             QStringList{u"01 - a - 1.mp3"_s});
    QVERIFY(!run.object.stopRequested());
}

void tst_SliceThreadObject::unwritableTracksAreReportedAndNothingIsWritten_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<TrackContainer>("tracks");
    QTest::newRow("missing folder, every track reported")
        << u"album.mp3"_s << u"missing/folder"_s
        << TrackContainer{Track{u"a"_s, u"b"_s, 1, 0, 2000}, Track{u"c"_s, u"b"_s, 2, 2000, 4000}};
    QTest::newRow("track named like the source")
        << u"01 - A - T.mp3"_s << u"."_s << TrackContainer{Track{u"T"_s, u"A"_s, 1, 0, 2000}};
    QTest::newRow("time range past the end")
        << u"album.mp3"_s << u"."_s << TrackContainer{Track{u"late"_s, u"a"_s, 1, 900000, 950000}};
}

void tst_SliceThreadObject::unwritableTracksAreReportedAndNothingIsWritten()
{
    QFETCH(QString, sourceName);
    QFETCH(QString, folder);
    QFETCH(TrackContainer, tracks);
    const QByteArray source = cbrStream(200);
    const QString path = m_dir->filePath(sourceName);
    SliceRun run;
    QVERIFY(run.open(path, source));
    QSignalSpy failed(&run.object, &SliceThreadObject::trackFailed);
    run.begin(m_dir->filePath(folder), tracks);
    QVERIFY(run.waitForEnd());
    QCOMPARE(failed.count(), tracks.size());
    for (int i = 0; i < tracks.size(); ++i) {
        QCOMPARE(failed.at(i).at(0).toInt(), tracks.at(i).number);
        QVERIFY(!failed.at(i).at(2).toString().isEmpty());
    }
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{sourceName});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), source);
}

void tst_SliceThreadObject::titleNearTheNameLimitGetsItsXingFrame()
{
    // 120 Cyrillic letters are 240 bytes: with the temporary suffix the name would not fit
    // unless it is kept short enough.
    const QString title(120, QChar(0x0416));
    const QString path = m_dir->filePath(u"vbr.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, vbrStream(200)));
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    run.begin(m_dir->path(), {Track{title, u"a"_s, 1, 0, 3000}});
    QVERIFY(run.waitForEnd());
    QCOMPARE(written.count(), 1);
    const QString name = written.at(0).at(1).toString();
    QVERIFY(!TrackFile::read(name).xingFrame.isEmpty());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2); // the source and the track
}

void tst_SliceThreadObject::fullDiskIsReportedAndNeverCallsATrackOnDiskUnwritten_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("trackKept");
    QTest::addColumn<bool>("sampleExact");
    // 300 frames of 417/418 bytes after the 1034-byte tag: about 126 KB.
    QTest::newRow("during the copy") << cbrStream(300) << 60000 << false << false;
    QTest::newRow("during a sample-exact copy") << cbrStream(300) << 60000 << false << true;
    // One bitrate but the last frame: the job writes no Xing frame, the engine rebuilds the
    // track, and its rewrite (a Xing frame longer) hits the limit.
    Mp3StreamBuilder oneOff;
    oneOff.appendFrames(Header{}, 299, 100);
    Header high;
    high.bitrateIndex = 10;
    oneOff.appendFrames(high, 1, 100);
    // The reserved ID3v2 tag, the frames, and the ID3v1 tag TagLib appends.
    const int asWritten = 1034 + int(oneOff.bytes().size()) + 128;
    QTest::newRow("during the repair") << oneOff.bytes() << asWritten + 100 << true << false;
}

void tst_SliceThreadObject::fullDiskIsReportedAndNeverCallsATrackOnDiskUnwritten()
{
    QFETCH(QByteArray, source);
    QFETCH(int, limit);
    QFETCH(bool, trackKept);
    QFETCH(bool, sampleExact);
    const QString path = m_dir->filePath(u"album.mp3"_s);
    const QString out = m_dir->filePath(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    QVERIFY(Mp3StreamBuilder().append(source).save(path));
    // A child process under a file-size limit, SIGXFSZ ignored: writes past the limit fail
    // with EFBIG as they would on a full disk. The job runs on the child's only thread.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        auto index = std::make_shared<CheapMP3>(nullptr, nullptr, nullptr);
        index->readFile(path);
        SliceThreadObject job;
        job.setIndex(index);
        job.setOutputFolder(out);
        job.setTracks({Track{u"t"_s, u"a"_s, 1, 0, 100000}});
        job.setSampleExact(sampleExact);
        int failed = 0;
        int written = 0;
        bool named = false;
        const auto names = [&](const QString &reason) {
            named = reason.contains(u"File too large"_s) || reason.contains(u"File Write error"_s);
        };
        QObject::connect(&job, &SliceThreadObject::trackFailed,
                         [&](int, const QString &, const QString &reason) {
                             ++failed;
                             names(reason);
                         });
        QObject::connect(&job, &SliceThreadObject::trackWritten,
                         [&](int, const QString &, const QString &warning) {
                             ++written;
                             names(warning);
                         });
        job.start();
        ::_exit(failed * 16 + written * 4 + named * 2);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    // Reported once: a track on disk as written (with a warning), else as not written.
    QCOMPARE(code / 16, trackKept ? 0 : 1);
    QCOMPARE((code / 4) % 4, trackKept ? 1 : 0);
    QVERIFY2(code & 2, "the reason names the failed write");
    const QStringList files = QDir(out).entryList(QDir::Files | QDir::Hidden);
    if (!trackKept) {
        QCOMPARE(files, QStringList());
        return;
    }
    // The track stays complete as the job wrote it, only without a rebuilt header.
    QCOMPARE(files, QStringList{u"01 - a - t.mp3"_s});
    const TrackFile track = TrackFile::read(QDir(out).filePath(files.first()));
    QVERIFY(track.xingFrame.isEmpty());
    QCOMPARE(track.audio, source);
}

void tst_SliceThreadObject::progressIsReportedOncePerWholePercent()
{
    const QString path = m_dir->filePath(u"album.mp3"_s);
    SliceRun run;
    QVERIFY(run.open(path, cbrStream(1000)));
    QList<SliceProgress> reports;
    connect(&run.object, &SliceThreadObject::sliceProgress, this,
            [&](SliceProgress progress) { reports.append(progress); });
    // The second track is a single entry: its only reports are 100, as the first one's last.
    const int oneEntry = 1152 * 1000 / 44100 + 1;
    run.begin(
        m_dir->path(),
        {Track{u"a"_s, u"x"_s, 1, 0, 20000}, Track{u"b"_s, u"x"_s, 2, 20000, 20000 + oneEntry}});
    QVERIFY(run.waitForEnd());
    QTRY_VERIFY(!reports.isEmpty() && reports.last().percent == 100);
    QCoreApplication::sendPostedEvents(); // any report still queued
    QVERIFY(reports.size() <= 101);
    for (int i = 0; i < reports.size(); ++i) {
        QCOMPARE(reports.at(i).track, 1);
        if (i > 0)
            QVERIFY(reports.at(i).percent > reports.at(i - 1).percent);
    }
    QVERIFY(QFile::exists(m_dir->filePath(u"02 - x - b.mp3"_s)));
}

QTEST_GUILESS_MAIN(tst_SliceThreadObject)
#include "tst_slicethreadobject.moc"
