// Real encoder in, real decoder out: lame makes the album, the slice job cuts it, ffmpeg and
// ffprobe judge every track.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "encodedaudio.h"
#include "mp3streambuilder.h"
#include "slicerun.h"
#include "trackfile.h"

using namespace Qt::StringLiterals;

namespace {

struct Packet
{
    qint64 pos = 0;
    int size = 0;
};

// Audio packets as ffprobe's demuxer sees them: an oracle for where the frames are.
QList<Packet> packets(const QString &path)
{
    QProcess probe;
    probe.start(u"ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-select_streams"_s, u"a:0"_s, u"-show_entries"_s,
                 u"packet=pos,size"_s, u"-of"_s, u"csv=p=0"_s, path});
    probe.waitForFinished(60000);
    QList<Packet> result;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        // "size,pos", with a trailing field on packets that carry side data.
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() >= 2 && !fields[0].isEmpty() && !fields[1].isEmpty())
            result.append(Packet{fields[1].toLongLong(), fields[0].toInt()});
    }
    return result;
}

QByteArray packetBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    QByteArray bytes;
    for (const Packet &p : packets(path))
        bytes += all.mid(p.pos, p.size);
    return bytes;
}

// CRC-16/ARC bit by bit: an independent check of the LAME tag's CRCs.
quint16 crc16Arc(const QByteArray &bytes)
{
    quint16 crc = 0;
    for (const char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

struct Lame
{
    qsizetype at = -1;
    int delay = 0;
    int padding = 0;
};

Lame lameOf(const QByteArray &xingFrame)
{
    Lame lame;
    lame.at = xingFrame.indexOf("LAME");
    if (lame.at >= 0 && lame.at + 36 <= xingFrame.size()) {
        const quint32 v = Mp3StreamBuilder::bigEndian(xingFrame, lame.at + 21, 3);
        lame.delay = int(v >> 12);
        lame.padding = int(v & 0xFFF);
    }
    return lame;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_SliceIntegration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tracksPlayAndHoldExactlyTheSourceFrames_data();
    void tracksPlayAndHoldExactlyTheSourceFrames();
    void joinedFilesLoseTheirInnerInfoFrameAndTracksStayAsTheyAre_data();
    void joinedFilesLoseTheirInnerInfoFrameAndTracksStayAsTheyAre();
};

void tst_SliceIntegration::initTestCase()
{
    for (const QString &tool : {u"lame"_s, u"ffmpeg"_s, u"ffprobe"_s})
        QVERIFY2(EncodedAudio::haveTool(tool), qPrintable(tool + u" is not installed"_s));
}

void tst_SliceIntegration::tracksPlayAndHoldExactlyTheSourceFrames_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArguments");
    QTest::addColumn<bool>("vbr");
    QTest::addColumn<bool>("tagged");

    QTest::newRow("MPEG-1 CBR 128k") << 44100 << 2 << QStringList{u"-b128"_s} << false << false;
    QTest::newRow("MPEG-1 VBR V2") << 44100 << 2 << QStringList{u"-V2"_s} << true << false;
    QTest::newRow("MPEG-1 VBR mono 48k")
        << 48000 << 1 << QStringList{u"-V4"_s, u"-m"_s, u"m"_s} << true << false;
    QTest::newRow("MPEG-2 CBR 64k 22.05k")
        << 22050 << 2 << QStringList{u"-b64"_s} << false << false;
    QTest::newRow("MPEG-2 VBR 24k") << 24000 << 2 << QStringList{u"-V3"_s} << true << false;
    QTest::newRow("MPEG-2.5 CBR 16k 8k mono")
        << 8000 << 1 << QStringList{u"-b16"_s, u"-m"_s, u"m"_s} << false << false;
    QTest::newRow("MPEG-2.5 VBR 12k") << 12000 << 2 << QStringList{u"-V5"_s} << true << false;
    QTest::newRow("MPEG-1 VBR with ID3v2 picture, APE and ID3v1")
        << 44100 << 2 << QStringList{u"-V2"_s} << true << true;
}

void tst_SliceIntegration::tracksPlayAndHoldExactlyTheSourceFrames()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArguments);
    QFETCH(bool, vbr);
    QFETCH(bool, tagged);

    QTemporaryDir dir;
    const QString album = dir.filePath(u"album.mp3"_s);
    if (tagged) {
        // Noise compresses badly, so the picture is full of 0xFF bytes: false frame syncs.
        QImage picture(120, 120, QImage::Format_RGB32);
        auto *random = QRandomGenerator::global();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, random->generate() | 0xFF000000u);
        const QString png = dir.filePath(u"cover.png"_s);
        QVERIFY(picture.save(png, "PNG"));
        lameArguments << u"--add-id3v2"_s << u"--ti"_s << png << u"--ta"_s << u"Album Artist"_s
                      << u"--tt"_s << u"Album"_s;
    }
    const QList<EncodedAudio::Tone> tones{{4.0, 440.0, 0.5}, {4.0, 660.0, 0.4}, {4.5, 880.0, 0.3}};
    QString error;
    QVERIFY2(EncodedAudio::encode(album, tones, sampleRate, channels, lameArguments, &error),
             qPrintable(error));
    if (tagged) {
        QFile file(album);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("ID3"));
        QCOMPARE(bytes.mid(bytes.size() - 128, 3), QByteArray("TAG"));
        bytes.insert(bytes.size() - 128, Mp3StreamBuilder::apeTag(2000, 64));
        QVERIFY(file.seek(0));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    const QByteArray sourceFrames = packetBytes(album);
    QVERIFY(sourceFrames.size() > 10000);

    SliceRun run;
    QVERIFY(run.open(album));
    const int totalMs = run.index->lengthMs();
    const TrackContainer tracks{{u"First"_s, u"Tester"_s, 1, 0, 4000},
                                {u"Second"_s, u"Tester"_s, 2, 4000, 8000},
                                {u"Third"_s, u"Tester"_s, 3, 8000, totalMs}};
    QSignalSpy failed(&run.object, &SliceThreadObject::trackFailed);
    run.begin(dir.path(), tracks);
    QVERIFY(run.waitForEnd(60000));
    QCOMPARE(failed.count(), 0);

    const QByteArray albumBytes = fileBytes(album);
    QVERIFY(!albumBytes.isEmpty());
    const int infoFrameSize = TrackFile::frameSize(albumBytes, run.index->infoFrameOffset());
    const Lame sourceLame = lameOf(albumBytes.mid(run.index->infoFrameOffset(), infoFrameSize));
    // Players trim the encoder delay plus the decoder's own 529 samples from a track with a
    // LAME tag; at 576 samples per MPEG-2 frame that is more than one frame but less than
    // one entry of 1152 samples, which is the tolerance used.
    const int tolerance = CheapMP3::SAMPLES_PER_ENTRY;

    QByteArray joined;
    for (const Track &track : tracks) {
        const QString path = dir.filePath(
            u"%1 - Tester - %2.mp3"_s.arg(track.number, 2, 10, QChar(u'0')).arg(track.title));
        const QString name = QFileInfo(path).fileName();
        QVERIFY2(QFile::exists(path), qPrintable(name));
        joined += packetBytes(path);

        const EncodedAudio::Decoded decoded = EncodedAudio::decode(path);
        QVERIFY2(decoded.ok, qPrintable(name));
        QVERIFY2(decoded.errors.isEmpty(), qPrintable(name + u": "_s + decoded.errors));
        const double decodedSeconds = double(decoded.samples) / decoded.sampleRate;
        const double probed = EncodedAudio::probedDuration(path);
        QVERIFY2(qAbs(probed - decodedSeconds) <= double(tolerance) / sampleRate,
                 qPrintable(u"%1: header says %2 s, decoded %3 s"_s.arg(name).arg(probed).arg(
                     decodedSeconds)));
        // A cut moves to the nearest entry and a player trims the delays: up to two entries,
        // more than 0.1 s below 22.05 kHz.
        const double expectedSeconds = (track.end - track.start) / 1000.0;
        const double slack = std::max(0.1, 2.0 * tolerance / sampleRate);
        QVERIFY2(qAbs(decodedSeconds - expectedSeconds) < slack,
                 qPrintable(u"%1: %2 s decoded, %3 s expected"_s.arg(name)
                                .arg(decodedSeconds)
                                .arg(expectedSeconds)));

        const TrackFile file = TrackFile::read(path);
        QCOMPARE(file.artist, u"Tester"_s);
        QCOMPARE(file.title, track.title);
        QVERIFY(file.id3v2Size > 0);
        if (!vbr) {
            QVERIFY2(file.xingFrame.isEmpty(), qPrintable(name));
            continue;
        }
        // The new Xing frame describes this track alone.
        QVERIFY2(!file.xingFrame.isEmpty(), qPrintable(name));
        const int x = TrackFile::xingOffset(file.xingFrame, 0);
        const QList<Packet> trackPackets = packets(path);
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, x + 4, 4) & 7u, 7u);
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, x + 8, 4),
                 quint32(trackPackets.size()));
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, x + 12, 4),
                 quint32(file.audio.size()));
        // Each TOC entry points at the frame where that percent of the frames begins.
        const double total = file.audio.size();
        for (int i = 0; i < 100; ++i) {
            const int k = int(i / 100.0 * (trackPackets.size() + 1));
            const qint64 offset = k == 0 ? 0 : trackPackets.at(k - 1).pos - file.id3v2Size;
            const double tocOffset = quint8(file.xingFrame[x + 16 + i]) / 256.0 * total;
            QVERIFY2(qAbs(tocOffset - offset) <= total / 256.0 + 1,
                     qPrintable(u"%1: TOC %2"_s.arg(name).arg(i)));
        }
        // The LAME data is true for this track.
        const Lame lame = lameOf(file.xingFrame);
        QVERIFY2(lame.at > 0, qPrintable(name));
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, lame.at + 28, 4),
                 quint32(file.audio.size()));
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, lame.at + 32, 2),
                 quint32(crc16Arc(file.frames)));
        QCOMPARE(Mp3StreamBuilder::bigEndian(file.xingFrame, lame.at + 34, 2),
                 quint32(crc16Arc(file.xingFrame.left(lame.at + 34))));
        QCOMPARE(lame.delay, track.number == 1 ? sourceLame.delay : 0);
        QCOMPARE(lame.padding, track.number == 3 ? sourceLame.padding : 0);
    }
    QCOMPARE(joined.size(), sourceFrames.size());
    QVERIFY(joined == sourceFrames);
}

void tst_SliceIntegration::joinedFilesLoseTheirInnerInfoFrameAndTracksStayAsTheyAre_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<QStringList>("lameArguments");
    QTest::addColumn<bool>("vbr");

    QTest::newRow("MPEG-1 CBR") << 44100 << QStringList{u"-b128"_s} << false;
    QTest::newRow("MPEG-1 CBR with CRC") << 44100 << QStringList{u"-b128"_s, u"-p"_s} << false;
    QTest::newRow("MPEG-1 VBR") << 44100 << QStringList{u"-V2"_s} << true;
    QTest::newRow("MPEG-2 CBR") << 22050 << QStringList{u"-b64"_s} << false;
    QTest::newRow("MPEG-2.5 CBR") << 11025 << QStringList{u"-b32"_s} << false;
}

void tst_SliceIntegration::joinedFilesLoseTheirInnerInfoFrameAndTracksStayAsTheyAre()
{
    QFETCH(int, sampleRate);
    QFETCH(QStringList, lameArguments);
    QFETCH(bool, vbr);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Each file leads with its own Info/Xing frame; joined, the second one sits at 5 s.
    QByteArray frames;
    QByteArray joined;
    for (const double frequency : {440.0, 660.0}) {
        const QString part = dir.filePath(u"part%1.mp3"_s.arg(frequency));
        QVERIFY(EncodedAudio::encode(part, {{5.0, frequency, 0.5}}, sampleRate, 2, lameArguments));
        const QByteArray bytes = fileBytes(part);
        const int infoSize = TrackFile::frameSize(bytes, 0);
        const QByteArray tag = bytes.mid(TrackFile::xingOffset(bytes, 0), 4);
        QVERIFY2(infoSize > 0 && (tag == "Info" || tag == "Xing"), tag.constData());
        joined += bytes;
        frames += bytes.mid(infoSize);
    }
    const QString album = dir.filePath(u"joined.mp3"_s);
    QVERIFY(Mp3StreamBuilder().append(joined).save(album));

    SliceRun run;
    QVERIFY(run.open(album));
    const int totalMs = run.index->lengthMs();
    // The middle track holds the join.
    const TrackContainer tracks{{u"A"_s, u"T"_s, 1, 0, 3000},
                                {u"B"_s, u"T"_s, 2, 3000, 7000},
                                {u"C"_s, u"T"_s, 3, 7000, totalMs}};
    QSignalSpy written(&run.object, &SliceThreadObject::trackWritten);
    QSignalSpy failed(&run.object, &SliceThreadObject::trackFailed);
    run.begin(dir.path(), tracks);
    QVERIFY(run.waitForEnd(60000));
    QCOMPARE(failed.count(), 0);
    QCOMPARE(written.count(), 3);

    QByteArray trackFrames;
    for (int i = 0; i < 3; ++i) {
        const QString path = written.at(i).at(1).toString();
        QVERIFY2(written.at(i).at(2).toString().isEmpty(), qPrintable(path));
        const TrackFile file = TrackFile::read(path);
        trackFrames += file.frames;
        QCOMPARE(file.xingFrame.isEmpty(), !vbr);
        const EncodedAudio::Decoded decoded = EncodedAudio::decode(path);
        QVERIFY2(decoded.ok && decoded.errors.isEmpty(), qPrintable(decoded.errors));
        QVERIFY(TrackFile::judgedRight(path, i == 0, i == 2));
    }
    // Every audio frame of both files, in order, and neither information frame.
    QCOMPARE(trackFrames.size(), frames.size());
    QVERIFY(trackFrames == frames);
}

QTEST_GUILESS_MAIN(tst_SliceIntegration)
#include "tst_sliceintegration.moc"
