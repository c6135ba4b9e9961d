// Sample-exact slicing of lame files: ffmpeg and mpg123 play each track for exactly its samples,
// and the tracks played one after another are the source as it plays.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include "encodedaudio.h"
#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"
#include "slice/sampleexactplan.h"
#include "slicerun.h"
#include "trackfile.h"
#include "vbrrepair/xingframe.h"

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

QByteArray infoFrameOf(QFile &file, const CheapMP3 &index)
{
    if (index.infoFrameLength() <= 0 || !file.seek(index.infoFrameOffset()))
        return {};
    return file.read(index.infoFrameLength());
}

} // namespace

class tst_SampleExactPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tracksPlayExactlyTheirSamples_data();
    void tracksPlayExactlyTheirSamples();
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
    QTest::addColumn<bool>("apeTagged");

    QTest::newRow("MPEG-1 CBR") << 44100 << 2 << QStringList{u"-b128"_s} << false;
    QTest::newRow("MPEG-1 VBR") << 44100 << 2 << QStringList{u"-V2"_s} << false;
    QTest::newRow("MPEG-1 CRC-protected")
        << 44100 << 2 << QStringList{u"-b128"_s, u"-p"_s} << false;
    QTest::newRow("MPEG-2 mono VBR")
        << 22050 << 1 << QStringList{u"-V5"_s, u"-m"_s, u"m"_s} << false;
    // 8 kbit/s frames of 5 bytes of main data: the reservoir spans dozens of frames.
    QTest::newRow("MPEG-2 stereo VBR") << 22050 << 2 << QStringList{u"-V5"_s} << false;
    QTest::newRow("MPEG-2 stereo CBR") << 22050 << 2 << QStringList{u"-b64"_s} << false;
    // More reservoir than the two silent frames mpg123 reads before the first sample hold.
    QTest::newRow("MPEG-2 CBR 32 kbit/s")
        << 22050 << 1 << QStringList{u"-b32"_s, u"-m"_s, u"m"_s} << false;
    // More reservoir than the encoder delay can skip in silent frames of 32 kbit/s.
    QTest::newRow("MPEG-1 CBR 32 kbit/s")
        << 44100 << 2 << QStringList{u"-b32"_s, u"--resample"_s, u"44.1"_s} << false;
    QTest::newRow("MPEG-2.5 mono CBR")
        << 8000 << 1 << QStringList{u"-b16"_s, u"-m"_s, u"m"_s} << false;
    QTest::newRow("MPEG-2.5 stereo VBR") << 12000 << 2 << QStringList{u"-V5"_s} << false;
    QTest::newRow("no Xing/LAME frame") << 44100 << 2 << QStringList{u"-b160"_s, u"-t"_s} << false;
    QTest::newRow("ID3v2-tagged VBR")
        << 44100 << 2 << QStringList{u"-V4"_s, u"--add-id3v2"_s, u"--tt"_s, u"Album"_s} << false;
    QTest::newRow("APE-tagged CBR") << 44100 << 2 << QStringList{u"-b128"_s} << true;
}

void tst_SampleExactPlan::tracksPlayExactlyTheirSamples()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArguments);
    QFETCH(bool, apeTagged);

    QTemporaryDir dir;
    const QString album = dir.filePath(u"album.mp3"_s);
    const QList<EncodedAudio::Tone> tones{
        {1.7, 440.0, 0.5}, {1.6, 660.0, 0.4}, {1.5, 0.0, 0.0}, {1.4, 880.0, 0.3}};
    QString error;
    QVERIFY2(EncodedAudio::encode(album, tones, sampleRate, channels, lameArguments, &error),
             qPrintable(error));
    if (apeTagged) {
        QFile file(album);
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.write(Mp3StreamBuilder::apeTag(2000, 64)) > 0);
    }
    SliceRun run;
    QVERIFY(run.open(album));
    // Cut times whole in samples at every rate here; the last track runs to the end.
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
    // The joined comparison below covers a start whose first frame reaches into the reservoir.
    QFile mp3(album);
    QVERIFY(mp3.open(QIODevice::ReadOnly));
    const QByteArray info = infoFrameOf(mp3, *run.index);
    const std::unique_ptr<XingFrame> sourceXing =
        XingFrame::fromBytes(std::vector<unsigned char>(info.begin(), info.end()));
    int reservoirStarts = 0;
    for (int i = 1; i < cuts.size(); ++i) {
        const qint64 start = tracks[i].startSample(sampleRate);
        if (SampleExactPlan::make(mp3, *run.index, sourceXing.get(), start, -1).silentFrames() > 0)
            ++reservoirStarts;
    }
    QVERIFY(reservoirStarts > 0);
    // A track is announced as of one bitrate only when it is: faster silent frames make a
    // track of a CBR source vary.
    for (const QList<QVariant> &track : written) {
        QFile file(track[1].toString());
        QVERIFY(file.open(QIODevice::ReadOnly));
        CheapMP3 index(nullptr, nullptr, nullptr);
        index.readFile(file.fileName());
        QCOMPARE(infoFrameOf(file, index).contains("Info"), !index.bitrateVaries());
        // The repair engine finds a varying track's header right (its LAME tag holds the
        // track's own delay and padding); an Info frame it never takes, as for lame's own.
        if (index.bitrateVaries())
            QVERIFY(TrackFile::judgedRight(file.fileName(), true, true));
    }

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
        QVERIFY2(largestDifference(joined, source) <= 2,
                 qPrintable(decoder + u' ' + QString::number(largestDifference(joined, source))));
    }
}

QTEST_GUILESS_MAIN(tst_SampleExactPlan)
#include "tst_sampleexactplan.moc"
