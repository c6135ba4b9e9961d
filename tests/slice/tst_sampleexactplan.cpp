// Sample-exact slicing of lame files: ffmpeg and mpg123 play each track for exactly its samples,
// and the tracks played one after another are the source as it plays.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include "encodedaudio.h"
#include "slicerun.h"

using namespace Qt::StringLiterals;

namespace {

qint64 largestDifference(const QByteArray &a, const QByteArray &b)
{
    const auto *x = reinterpret_cast<const qint16 *>(a.constData());
    const auto *y = reinterpret_cast<const qint16 *>(b.constData());
    qint64 largest = 0;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()) / 2; ++i)
        largest = std::max<qint64>(largest, std::abs(int{x[i]} - int{y[i]}));
    return largest;
}

} // namespace

class tst_SampleExactPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tracksPlayExactlyTheirSamples_data();
    void tracksPlayExactlyTheirSamples();
    void reservoirTooDeepForTheDelayFallsBackToFrames();
};

void tst_SampleExactPlan::initTestCase()
{
    for (const QString &tool : {u"lame"_s, u"ffmpeg"_s, u"ffprobe"_s, u"mpg123"_s})
        QVERIFY2(EncodedAudio::haveTool(tool), qPrintable(tool + u" is not installed"_s));
}

void tst_SampleExactPlan::tracksPlayExactlyTheirSamples_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArguments");

    QTest::newRow("MPEG-1 CBR") << 44100 << 2 << QStringList{u"-b128"_s};
    QTest::newRow("MPEG-1 VBR") << 44100 << 2 << QStringList{u"-V2"_s};
    QTest::newRow("MPEG-1 CRC-protected") << 44100 << 2 << QStringList{u"-b128"_s, u"-p"_s};
    QTest::newRow("MPEG-2 mono VBR") << 22050 << 1 << QStringList{u"-V5"_s, u"-m"_s, u"m"_s};
    // 8 kbit/s frames of 5 bytes of main data: the reservoir spans dozens of frames.
    QTest::newRow("MPEG-2 stereo VBR") << 22050 << 2 << QStringList{u"-V5"_s};
    QTest::newRow("no Xing/LAME frame") << 44100 << 2 << QStringList{u"-b160"_s, u"-t"_s};
    QTest::newRow("ID3v2-tagged VBR")
        << 44100 << 2 << QStringList{u"-V4"_s, u"--add-id3v2"_s, u"--tt"_s, u"Album"_s};
}

void tst_SampleExactPlan::tracksPlayExactlyTheirSamples()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArguments);

    QTemporaryDir dir;
    const QString album = dir.filePath(u"album.mp3"_s);
    const QList<EncodedAudio::Tone> tones{
        {1.7, 440.0, 0.5}, {1.6, 660.0, 0.4}, {1.5, 0.0, 0.0}, {1.4, 880.0, 0.3}};
    QString error;
    QVERIFY2(EncodedAudio::encode(album, tones, sampleRate, channels, lameArguments, &error),
             qPrintable(error));
    SliceRun run;
    QVERIFY(run.open(album));
    // Cut times whole in samples at both rates; the last track runs to the end.
    const QList<int> cuts{0, 1500, 3200, 4700};
    TrackContainer tracks;
    for (int i = 0; i < cuts.size(); ++i) {
        const int end = i + 1 < cuts.size() ? cuts[i + 1] : run.index->lengthMs();
        tracks.append(Track{u"T"_s, u"A"_s, i + 1, cuts[i], end});
    }
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    QSignalSpy failed(&run.object, &SliceThreadObject::trackFailed);
    run.object.setSampleExact(true);
    run.begin(dir.path(), tracks);
    QVERIFY(run.waitForEnd(60000));
    QCOMPARE(failed.count(), 0);
    QCOMPARE(written.count(), tracks.size());

    const int frameBytes = 2 * channels;
    for (const QString &decoder : {u"ffmpeg"_s, u"mpg123"_s}) {
        const QByteArray source = EncodedAudio::pcm(album, decoder);
        QVERIFY(!source.isEmpty());
        QByteArray joined;
        for (int i = 0; i < written.count(); ++i) {
            // A warning would mean a track cut to the frame, or rebuilt by the repair engine.
            QCOMPARE(written[i][2].toString(), QString());
            const QByteArray track = EncodedAudio::pcm(written[i][1].toString(), decoder);
            const qint64 start = Track::sampleAt(cuts[i], -1, sampleRate);
            const qint64 end = i + 1 < cuts.size() ? Track::sampleAt(cuts[i + 1], -1, sampleRate)
                                                   : source.size() / frameBytes;
            QCOMPARE(track.size() / frameBytes, end - start);
            joined += track;
        }
        QCOMPARE(joined.size(), source.size());
        // mpg123 keeps one frame of reservoir and rounds differently after an MPEG-2 start.
        if (decoder == u"ffmpeg"_s)
            QVERIFY2(largestDifference(joined, source) <= 2,
                     qPrintable(QString::number(largestDifference(joined, source))));
    }
}

void tst_SampleExactPlan::reservoirTooDeepForTheDelayFallsBackToFrames()
{
    // 32 kbit/s stereo at 44.1 kHz: a frame holds so little that the reservoir needs more
    // silent frames than a 12-bit encoder delay can skip.
    QTemporaryDir dir;
    const QString album = dir.filePath(u"album.mp3"_s);
    QVERIFY(EncodedAudio::encode(album, {{3.0, 440.0, 0.5}, {3.0, 1760.0, 0.5}}, 44100, 2,
                                 {u"-b32"_s, u"--resample"_s, u"44.1"_s}));
    SliceRun run;
    QVERIFY(run.open(album));
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    run.object.setSampleExact(true);
    run.begin(
        dir.path(),
        {Track{u"T"_s, u"A"_s, 1, 0, 3000}, Track{u"T"_s, u"A"_s, 2, 3000, run.index->lengthMs()}});
    QVERIFY(run.waitForEnd(60000));
    QCOMPARE(written.count(), 2);
    QCOMPARE(written[0][2].toString(), QString());
    QVERIFY(written[1][2].toString().startsWith(u"Cut to the frame"_s));
    // Cut to the frame it still plays, a frame's length from its sample-exact length.
    const qint64 samples = EncodedAudio::pcm(written[1][1].toString()).size() / 4;
    QVERIFY2(std::abs(samples - (6 * 44100 - 3 * 44100)) < 1152 * 2,
             qPrintable(QString::number(samples)));
}

QTEST_GUILESS_MAIN(tst_SampleExactPlan)
#include "tst_sampleexactplan.moc"
