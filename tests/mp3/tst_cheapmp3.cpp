#include "mp3/cheapmp3.h"

#include "encodedaudio.h"
#include "listenerrecorder.h"
#include "mp3streambuilder.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Header = Mp3StreamBuilder::Header;

Q_DECLARE_METATYPE(Mp3StreamBuilder::Header)

class tst_CheapMp3 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void tinyFileGivesEmptyIndexAndOneFullReport_data();
    void tinyFileGivesEmptyIndexAndOneFullReport();
    void unopenableFileReportsNoProgress();
    void indexHoldsEveryFrameAndNoFalseOne_data();
    void indexHoldsEveryFrameAndNoFalseOne();
    void implausibleId3v2SizeIsNotSkipped_data();
    void implausibleId3v2SizeIsNotSkipped();
    void cbr128FramesAreContiguousWithTheirOwnPadding();
    void arraysGrowByTheEstimateAfter64Entries_data();
    void arraysGrowByTheEstimateAfter64Entries();
    void stopDuringScanDropsIndexWithoutFullReport_data();
    void stopDuringScanDropsIndexWithoutFullReport();
    void progressFollowsScanPosition();
    void gainIsReadWhereTheSideInformationPutsIt_data();
    void gainIsReadWhereTheSideInformationPutsIt();
    void gainBytesMatchTheDocumentedPositions_data();
    void gainBytesMatchTheDocumentedPositions();
    void leadingInfoFrameIsLeftOutOfTheIndex_data();
    void leadingInfoFrameIsLeftOutOfTheIndex();
    void bitrateVariationAndAverage_data();
    void bitrateVariationAndAverage();
    void randomBytesKeepIndexInvariants_data();
    void randomBytesKeepIndexInvariants();
    void realEncoderOutputIsFullyIndexed_data();
    void realEncoderOutputIsFullyIndexed();

private:
    // Writes bytes to a new file and indexes it; false when the file cannot be written.
    bool read(CheapMP3 &index, const QByteArray &bytes);

    QTemporaryDir m_dir;
    int m_files = 0;
};

namespace {

Header header(Mp3StreamBuilder::Version version = Mp3StreamBuilder::Mpeg1, int bitrateIndex = 9,
              bool padding = false, bool crc = false,
              Mp3StreamBuilder::ChannelMode mode = Mp3StreamBuilder::JointStereo,
              int sampleRateIndex = 0)
{
    Header h;
    h.version = version;
    h.bitrateIndex = bitrateIndex;
    h.padding = padding;
    h.crc = crc;
    h.mode = mode;
    h.sampleRateIndex = sampleRateIndex;
    return h;
}

// MPEG-1 128 kbit/s 44.1 kHz: 417 bytes.
QByteArray mpeg1Frame(int gain = -1)
{
    return Mp3StreamBuilder::frame(header(), gain);
}

// MPEG-2 64 kbit/s 22.05 kHz: 208 bytes, 209 padded.
QByteArray mpeg2Frame(bool padding = false, int bitrateIndex = 8, int sampleRateIndex = 0)
{
    return Mp3StreamBuilder::frame(header(Mp3StreamBuilder::Mpeg2, bitrateIndex, padding, false,
                                          Mp3StreamBuilder::JointStereo, sampleRateIndex));
}

QList<qint64> offsetsOf(const CheapMP3 &index)
{
    QList<qint64> offsets;
    for (int i = 0; i < index.frameCount(); ++i)
        offsets.append(index.frameOffset(i));
    return offsets;
}

QList<int> lengthsOf(const CheapMP3 &index)
{
    QList<int> lengths;
    for (int i = 0; i < index.frameCount(); ++i)
        lengths.append(index.frameLength(i));
    return lengths;
}

} // namespace

void tst_CheapMp3::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

bool tst_CheapMp3::read(CheapMP3 &index, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(u"stream%1.mp3"_s.arg(++m_files));
    if (!Mp3StreamBuilder().append(bytes).save(path))
        return false;
    index.readFile(path);
    return true;
}

void tst_CheapMp3::tinyFileGivesEmptyIndexAndOneFullReport_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("one 0xFF byte") << QByteArray(1, '\xff');
    QTest::newRow("12 bytes starting with a header") << mpeg1Frame().left(12);
}

void tst_CheapMp3::tinyFileGivesEmptyIndexAndOneFullReport()
{
    QFETCH(QByteArray, bytes);

    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    QVERIFY(read(index, bytes));
    QCOMPARE(index.frameCount(), 0);
    QCOMPARE(index.averageBitrate(), 0);
    QCOMPARE(index.minGain(), 255);
    QCOMPARE(index.maxGain(), 0);
    QCOMPARE(index.fileSize(), qint64(bytes.size()));
    QCOMPARE(index.infoFrameOffset(), -1);
    QCOMPARE(recorder.readPercents, QList<float>{100.0f});
}

void tst_CheapMp3::unopenableFileReportsNoProgress()
{
    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    index.readFile(m_dir.filePath(u"missing.mp3"_s));
    QCOMPARE(index.frameCount(), 0);
    QCOMPARE(index.averageBitrate(), 0);
    QVERIFY(recorder.readPercents.isEmpty());
}

void tst_CheapMp3::indexHoldsEveryFrameAndNoFalseOne_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::addColumn<QList<int>>("lengths");

    const QByteArray f = mpeg1Frame();
    QCOMPARE(f.size(), 417);

    QTest::newRow("contiguous frames")
        << f + f + f << QList<qint64>{0, 417, 834} << QList<int>(3, 417);
    QTest::newRow("invalid second byte drops one byte")
        << QByteArray(1, '\xff') + f + f << QList<qint64>{1, 418} << QList<int>(2, 417);
    // The bitrate nibble 15 is in the frame's own 0xFF: only two bytes may go.
    QTest::newRow("bitrate nibble 15 drops two bytes")
        << QByteArray::fromHex("fffb") + f + f << QList<qint64>{2, 419} << QList<int>(2, 417);
    QTest::newRow("sample rate index 3 drops two bytes")
        << QByteArray::fromHex("fffb9c") + f + f << QList<qint64>{3, 420} << QList<int>(2, 417);
    QTest::newRow("free-format bitrate is skipped")
        << QByteArray::fromHex("fffb0064") + f << QList<qint64>{4} << QList<int>{417};
    QTest::newRow("junk between frames")
        << f + QByteArray("junk!") + f + f << QList<qint64>{0, 422, 839} << QList<int>(3, 417);
    QTest::newRow("junk full of false syncs") << f + QByteArray::fromHex("ff00ffe2ff12fff3ffff") + f
                                              << QList<qint64>{0, 427} << QList<int>(2, 417);
    QTest::newRow("ASCII junk longer than the window")
        << QByteArray(100, 'x') + f << QList<qint64>{100} << QList<int>{417};
    QTest::newRow("header 12 bytes before the end is not indexed")
        << f + f.left(12) << QList<qint64>{0} << QList<int>{417};
    // One byte more and it is indexed, with the length its header claims.
    QTest::newRow("header 13 bytes before the end")
        << f + f.left(13) << QList<qint64>{0, 417} << QList<int>(2, 417);

    QByteArray otherLayers;
    Header layer2 = header();
    layer2.layer = 2;
    otherLayers += Mp3StreamBuilder::frame(layer2);
    Header layer1 = header();
    layer1.layer = 1;
    otherLayers += Mp3StreamBuilder::frame(layer1);
    Header mpeg2Layer2 = header(Mp3StreamBuilder::Mpeg2, 8);
    mpeg2Layer2.layer = 2;
    otherLayers += Mp3StreamBuilder::frame(mpeg2Layer2);
    QTest::newRow("Layer I and Layer II frames are not indexed")
        << otherLayers + f << QList<qint64>{otherLayers.size()} << QList<int>{417};

    // Cover art full of frame syncs must not become entries.
    const QByteArray falseSyncs = f.left(8) + QByteArray("art");
    QTest::newRow("leading ID3v2 with false syncs")
        << Mp3StreamBuilder::id3v2(2000, false, falseSyncs) + f + f << QList<qint64>{2010, 2427}
        << QList<int>(2, 417);
    QTest::newRow("leading ID3v2 with footer") << Mp3StreamBuilder::id3v2(500, true, falseSyncs) + f
            + f << QList<qint64>{520, 937} << QList<int>(2, 417);
    QTest::newRow("ID3v2 tag that is the whole file")
        << Mp3StreamBuilder::id3v2(1000, false, falseSyncs) << QList<qint64>{} << QList<int>{};
    // Files joined end to end: an information frame inside the stream holds no audio.
    const QByteArray innerXing = Mp3StreamBuilder::xingFrame(header(), 0x1, 3, 0);
    QTest::newRow("Xing frame after the first frame is no audio")
        << f + innerXing + f << QList<qint64>{0, 834} << QList<int>(2, 417);
    QTest::newRow("VBRI frame after the first frame is no audio")
        << f + Mp3StreamBuilder::vbriFrame(header()) + f << QList<qint64>{0, 834}
        << QList<int>(2, 417);
    QByteArray sideInformation = innerXing;
    sideInformation[10] = 0x21;
    QTest::newRow("Xing tag in a frame of side information is audio")
        << f + sideInformation + f << QList<qint64>{0, 417, 834} << QList<int>(3, 417);
    const Header mono2 = header(Mp3StreamBuilder::Mpeg2, 8, false, false, Mp3StreamBuilder::Mono);
    const QByteArray mpeg2Mono = Mp3StreamBuilder::frame(mono2, 7);
    const QByteArray mpeg2Info =
        Mp3StreamBuilder::xingFrame(mono2, 0x3, 10, 2080, {}, 0, {}, "Info");
    QTest::newRow("MPEG-2 Info frame is no partner of the frame before")
        << mpeg2Mono + mpeg2Info + mpeg2Mono + mpeg2Mono << QList<qint64>{0, 2 * mpeg2Mono.size()}
        << QList<int>{208, 416};
    QByteArray misplaced = f;
    misplaced.replace(21, 4, "Xing"); // the mono offset, in a stereo frame
    QTest::newRow("Xing at another mode's offset is audio")
        << misplaced + f << QList<qint64>{0, 417} << QList<int>(2, 417);

    // An MPEG-2 entry pairs two frames; a single 144000 rule would make a padded pair
    // 418 bytes and lose the next frame.
    const QByteArray plain = mpeg2Frame(false);
    const QByteArray padded = mpeg2Frame(true);
    QCOMPARE(plain.size(), 208);
    QCOMPARE(padded.size(), 209);
    QTest::newRow("MPEG-2 padded then plain")
        << padded + plain + padded + plain + padded + plain << QList<qint64>{0, 417, 834}
        << QList<int>{417, 417, 417};
    QTest::newRow("MPEG-2 plain then padded")
        << plain + padded + plain + padded << QList<qint64>{0, 417} << QList<int>{417, 417};
    QTest::newRow("MPEG-2 both padded")
        << padded + padded + plain + plain << QList<qint64>{0, 418} << QList<int>{418, 416};
    QTest::newRow("MPEG-2 odd last frame is an entry of one frame")
        << plain + plain + plain << QList<qint64>{0, 416} << QList<int>{416, 208};
    QTest::newRow("MPEG-2 junk after the first frame breaks the pair") << plain + QByteArray("junk")
            + plain + plain << QList<qint64>{0, 212} << QList<int>{208, 416};
    const QByteArray rate24k = mpeg2Frame(false, 8, 1);
    QCOMPARE(rate24k.size(), 192);
    QTest::newRow("MPEG-2 no pair across a sample rate change")
        << plain + rate24k + rate24k << QList<qint64>{0, 208} << QList<int>{208, 384};
    QTest::newRow("MPEG-2 frame and an MPEG-1 frame are no pair")
        << plain + f + f << QList<qint64>{0, 208, 625} << QList<int>{208, 417, 417};
    const QByteArray bitrate80 = mpeg2Frame(false, 9);
    QCOMPARE(bitrate80.size(), 261);
    QTest::newRow("MPEG-2 pair of two bitrates")
        << plain + bitrate80 + bitrate80 + plain << QList<qint64>{0, 469} << QList<int>{469, 469};
    // MPEG-2.5 64 kbit/s at 8 kHz: 576 bytes; at 11.025 kHz: 417.
    const QByteArray rate8k = Mp3StreamBuilder::frame(
        header(Mp3StreamBuilder::Mpeg25, 8, false, false, Mp3StreamBuilder::Mono, 2));
    const QByteArray rate11k = Mp3StreamBuilder::frame(header(Mp3StreamBuilder::Mpeg25, 8));
    QTest::newRow("MPEG-2.5 frames pair like MPEG-2")
        << rate8k + rate8k + rate8k << QList<qint64>{0, 1152} << QList<int>{1152, 576};
    QTest::newRow("MPEG-2 and MPEG-2.5 frames are no pair")
        << plain + rate11k + rate11k << QList<qint64>{0, 208} << QList<int>{208, 834};
}

void tst_CheapMp3::indexHoldsEveryFrameAndNoFalseOne()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<qint64>, offsets);
    QFETCH(QList<int>, lengths);

    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, bytes));
    QCOMPARE(offsetsOf(index), offsets);
    QCOMPARE(lengthsOf(index), lengths);
    QCOMPARE(index.infoFrameOffset(), -1);
    QCOMPARE(index.infoFrameLength(), 0);
}

void tst_CheapMp3::implausibleId3v2SizeIsNotSkipped_data()
{
    QTest::addColumn<QByteArray>("tag");

    const QByteArray tag = Mp3StreamBuilder::id3v2(1000, false, mpeg1Frame().left(4));
    QByteArray highBit = tag;
    highBit[8] = '\x80';
    QTest::newRow("size byte with its high bit set") << highBit;
    QByteArray tooLong = tag;
    Mp3StreamBuilder::putBigEndian32(tooLong, 6, Mp3StreamBuilder::syncsafe(1000000));
    QTest::newRow("size past the end of the file") << tooLong;
}

void tst_CheapMp3::implausibleId3v2SizeIsNotSkipped()
{
    QFETCH(QByteArray, tag);

    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, tag + mpeg1Frame() + mpeg1Frame()));
    QVERIFY(index.frameCount() > 0);
    // The tag's first false sync, right after its 10-byte header, is found.
    QCOMPARE(index.frameOffset(0), 10);
}

void tst_CheapMp3::cbr128FramesAreContiguousWithTheirOwnPadding()
{
    Mp3StreamBuilder builder;
    QList<int> expected;
    for (int i = 0; i < 150; ++i) {
        const bool padded = i % 3 == 1;
        builder.append(Mp3StreamBuilder::frame(header(Mp3StreamBuilder::Mpeg1, 9, padded)));
        expected.append(padded ? 418 : 417);
    }
    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, builder.bytes()));
    QCOMPARE(lengthsOf(index), expected);
    qint64 next = 0;
    for (int i = 0; i < index.frameCount(); ++i) {
        QCOMPARE(index.frameOffset(i), next);
        next += index.frameLength(i);
    }
    QCOMPARE(next, builder.size());
    QCOMPARE(index.averageBitrate(), 128);
    QCOMPARE(index.sampleRate(), 44100);
    QCOMPARE(index.channels(), 2);
    QVERIFY(!index.bitrateVaries());
}

void tst_CheapMp3::arraysGrowByTheEstimateAfter64Entries_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("capacity");

    QTest::newRow("63 frames fit the first arrays") << 63 << 64;
    // 26688 / 128 * 44100 / 144000 = 63, +10 % = 69: doubling wins.
    QTest::newRow("the 64th frame doubles them") << 64 << 128;
    // 417000 / 128 = 3257, * 44100 / 144000 = 997, +10 % = 1096: sized once for the file.
    QTest::newRow("1000 frames: one growth by the estimate") << 1000 << 1096;
}

void tst_CheapMp3::arraysGrowByTheEstimateAfter64Entries()
{
    QFETCH(int, frames);
    QFETCH(int, capacity);

    Mp3StreamBuilder builder;
    for (int i = 0; i < frames; ++i)
        builder.append(mpeg1Frame(i % 256));
    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, builder.bytes()));
    QCOMPARE(index.frameCount(), frames);
    QCOMPARE(index.capacity(), capacity);
    // Entries written before the growth survive it.
    for (int i = 0; i < frames; ++i) {
        QCOMPARE(index.frameOffset(i), qint64(i) * 417);
        QCOMPARE(index.frameGain(i), i % 256);
    }
}

void tst_CheapMp3::stopDuringScanDropsIndexWithoutFullReport_data()
{
    QTest::addColumn<int>("stopAfter");

    QTest::newRow("before the first step") << 0;
    QTest::newRow("after five frames") << 5;
    QTest::newRow("after the first growth") << 70;
}

void tst_CheapMp3::stopDuringScanDropsIndexWithoutFullReport()
{
    QFETCH(int, stopAfter);

    Mp3StreamBuilder builder;
    builder.appendFrames(header(), 100);
    ListenerRecorder recorder;
    recorder.stopAfter = stopAfter;
    CheapMP3 index(&recorder, &recorder, &recorder);
    QVERIFY(read(index, builder.bytes()));
    QCOMPARE(index.frameCount(), 0);
    QCOMPARE(index.capacity(), 0);
    // Asked before every step; every step here is one frame and one report.
    QCOMPARE(recorder.asked, stopAfter + 1);
    QCOMPARE(recorder.readPercents.size(), stopAfter);
    QVERIFY(!recorder.readPercents.contains(100.0f));
}

void tst_CheapMp3::progressFollowsScanPosition()
{
    const QByteArray bytes = QByteArray(83, 'x') + mpeg1Frame() + mpeg1Frame();
    ListenerRecorder recorder;
    CheapMP3 index(nullptr, &recorder, nullptr);
    QVERIFY(read(index, bytes));
    // 917 bytes: frames end at 500 and 917.
    const QList<float> expected{float(500 * 100.0 / 917), 100.0f, 100.0f};
    QCOMPARE(recorder.readPercents, expected);
}

void tst_CheapMp3::gainIsReadWhereTheSideInformationPutsIt_data()
{
    QTest::addColumn<Header>("h");

    const QList<std::pair<Mp3StreamBuilder::Version, const char *>> versions{
        {Mp3StreamBuilder::Mpeg1, "MPEG-1"},
        {Mp3StreamBuilder::Mpeg2, "MPEG-2"},
        {Mp3StreamBuilder::Mpeg25, "MPEG-2.5"}};
    const QList<std::pair<Mp3StreamBuilder::ChannelMode, const char *>> modes{
        {Mp3StreamBuilder::Stereo, "stereo"},
        {Mp3StreamBuilder::JointStereo, "joint stereo"},
        {Mp3StreamBuilder::DualChannel, "dual channel"},
        {Mp3StreamBuilder::Mono, "mono"}};
    for (const auto &[version, versionName] : versions) {
        for (const auto &[mode, modeName] : modes) {
            for (const bool crc : {false, true}) {
                const QByteArray name =
                    QByteArray(versionName) + ' ' + modeName + (crc ? " with CRC" : " without CRC");
                QTest::newRow(name.constData()) << header(
                    version, version == Mp3StreamBuilder::Mpeg1 ? 9 : 8, false, crc, mode);
            }
        }
    }
}

void tst_CheapMp3::gainIsReadWhereTheSideInformationPutsIt()
{
    QFETCH(Header, h);

    const QList<int> gains{0xA5, 0x01, 0xFF, 0x80, 0x5A, 0x00, 0x7F, 0xFE};
    Mp3StreamBuilder builder;
    for (int gain : gains)
        builder.append(Mp3StreamBuilder::frame(h, gain));

    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, builder.bytes()));
    // An MPEG-2 entry is a pair of frames and takes the first one's gain.
    const int step = h.version == Mp3StreamBuilder::Mpeg1 ? 1 : 2;
    QList<int> expected;
    for (int i = 0; i < gains.size(); i += step)
        expected.append(gains[i]);
    QList<int> actual;
    for (int i = 0; i < index.frameCount(); ++i)
        actual.append(index.frameGain(i));
    QCOMPARE(actual, expected);
    QCOMPARE(index.minGain(), *std::min_element(expected.begin(), expected.end()));
    QCOMPARE(index.maxGain(), *std::max_element(expected.begin(), expected.end()));
    QCOMPARE(index.channels(), h.mode == Mp3StreamBuilder::Mono ? 1 : 2);
}

void tst_CheapMp3::gainBytesMatchTheDocumentedPositions_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("frameSize");
    QTest::addColumn<int>("gain");

    // (byte 9 AND 0x7F) << 1 | byte 10 >> 7
    QTest::newRow("MPEG-1 stereo without CRC: bytes 9 and 10") << QByteArray::fromHex("fffb9000"
                                                                                      "0000000000"
                                                                                      "5a80")
                                                               << 417 << 0xB5;
    // (byte 10 AND 0x01) << 7 | byte 11 >> 1
    QTest::newRow("MPEG-1 mono with CRC: bytes 10 and 11") << QByteArray::fromHex("fffa90c0"
                                                                                  "000000000000"
                                                                                  "016c")
                                                           << 417 << 0xB6;
    // (byte 9 AND 0x03) << 6 | byte 10 >> 2
    QTest::newRow("MPEG-2 mono with CRC: bytes 9 and 10") << QByteArray::fromHex("fff280c0"
                                                                                 "0000000000"
                                                                                 "02d4")
                                                          << 208 << 0xB5;
}

void tst_CheapMp3::gainBytesMatchTheDocumentedPositions()
{
    QFETCH(QByteArray, head);
    QFETCH(int, frameSize);
    QFETCH(int, gain);

    QByteArray frame = head;
    frame.resize(frameSize, '\0');
    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, frame));
    QCOMPARE(index.frameCount(), 1);
    QCOMPARE(index.frameGain(0), gain);
}

void tst_CheapMp3::leadingInfoFrameIsLeftOutOfTheIndex_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<QByteArray>("infoFrame");
    QTest::addColumn<Header>("audio");
    QTest::addColumn<int>("entries");

    const Header stereo1 = header();
    const Header mono1 = header(Mp3StreamBuilder::Mpeg1, 9, false, false, Mp3StreamBuilder::Mono);
    const Header stereo2 = header(Mp3StreamBuilder::Mpeg2, 8);
    const Header mono2 = header(Mp3StreamBuilder::Mpeg2, 8, false, false, Mp3StreamBuilder::Mono);
    const QByteArray lame = Mp3StreamBuilder::lameExtension();

    QTest::newRow("Xing, MPEG-1 stereo")
        << QByteArray() << Mp3StreamBuilder::xingFrame(stereo1, 0xF, 10, 4170, {}, 0, lame)
        << stereo1 << 10;
    QTest::newRow("Info, MPEG-1 mono")
        << QByteArray() << Mp3StreamBuilder::xingFrame(mono1, 0x3, 10, 4170, {}, 0, lame, "Info")
        << mono1 << 10;
    QTest::newRow("Xing, MPEG-2 stereo")
        << QByteArray() << Mp3StreamBuilder::xingFrame(stereo2, 0x3, 10, 2080) << stereo2 << 5;
    QTest::newRow("Info, MPEG-2 mono")
        << QByteArray() << Mp3StreamBuilder::xingFrame(mono2, 0x3, 10, 2080, {}, 0, {}, "Info")
        << mono2 << 5;
    const Header mono25 =
        header(Mp3StreamBuilder::Mpeg25, 8, false, false, Mp3StreamBuilder::Mono, 2);
    QTest::newRow("Info, MPEG-2.5 mono")
        << QByteArray() << Mp3StreamBuilder::xingFrame(mono25, 0x3, 10, 5760, {}, 0, lame, "Info")
        << mono25 << 5;
    QTest::newRow("VBRI, MPEG-1 stereo")
        << QByteArray() << Mp3StreamBuilder::vbriFrame(stereo1) << stereo1 << 10;
    QTest::newRow("Xing after an ID3v2 tag")
        << Mp3StreamBuilder::id3v2(300) << Mp3StreamBuilder::xingFrame(stereo1, 0x1, 10, 0)
        << stereo1 << 10;
    QTest::newRow("Xing after junk")
        << QByteArray("junk") << Mp3StreamBuilder::xingFrame(stereo1, 0x1, 10, 0) << stereo1 << 10;
}

void tst_CheapMp3::leadingInfoFrameIsLeftOutOfTheIndex()
{
    QFETCH(QByteArray, prefix);
    QFETCH(QByteArray, infoFrame);
    QFETCH(Header, audio);
    QFETCH(int, entries);

    Mp3StreamBuilder builder;
    builder.append(prefix).append(infoFrame).appendFrames(audio, 10, 7);
    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, builder.bytes()));
    QCOMPARE(index.infoFrameOffset(), prefix.size());
    QCOMPARE(index.infoFrameLength(), infoFrame.size());
    QCOMPARE(index.frameCount(), entries);
    QCOMPARE(index.frameOffset(0), prefix.size() + infoFrame.size());
    QCOMPARE(index.minGain(), 7);
}

void tst_CheapMp3::bitrateVariationAndAverage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("varies");
    QTest::addColumn<int>("averageBitrate");

    Mp3StreamBuilder constant;
    constant.appendFrames(header(), 10);
    QTest::newRow("constant 128 kbit/s") << constant.bytes() << false << 128;

    Mp3StreamBuilder oneOther;
    oneOther.appendFrames(header(), 9).appendFrames(header(Mp3StreamBuilder::Mpeg1, 10), 1);
    // (9 * 128 + 160) / 10 = 131.2
    QTest::newRow("one 160 kbit/s frame") << oneOther.bytes() << true << 131;

    Mp3StreamBuilder leadingXing;
    leadingXing.append(Mp3StreamBuilder::xingFrame(header(Mp3StreamBuilder::Mpeg1, 14), 1, 10, 0))
        .appendFrames(header(), 10);
    QTest::newRow("leading Xing of another bitrate does not count")
        << leadingXing.bytes() << false << 128;

    const QByteArray bitrate80 = mpeg2Frame(false, 9);
    QTest::newRow("MPEG-2 pairs of 64 and 80 kbit/s")
        << mpeg2Frame() + bitrate80 + mpeg2Frame() + bitrate80 << true << 72;
    QTest::newRow("MPEG-2 constant 64 kbit/s")
        << mpeg2Frame() + mpeg2Frame() + mpeg2Frame(true) + mpeg2Frame() << false << 64;
}

void tst_CheapMp3::bitrateVariationAndAverage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, varies);
    QFETCH(int, averageBitrate);

    CheapMP3 index(nullptr, nullptr, nullptr);
    QVERIFY(read(index, bytes));
    QCOMPARE(index.bitrateVaries(), varies);
    QCOMPARE(index.averageBitrate(), averageBitrate);
}

void tst_CheapMp3::randomBytesKeepIndexInvariants_data()
{
    QTest::addColumn<quint32>("seed");

    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::newRow(QByteArray::number(seed).constData()) << seed;
}

void tst_CheapMp3::randomBytesKeepIndexInvariants()
{
    QFETCH(quint32, seed);

    QRandomGenerator random(seed);
    QByteArray bytes;
    if (seed % 3 == 0) {
        // An ID3v2 header with a random (possibly absurd) size.
        bytes = "ID3";
        for (int i = 0; i < 7; ++i)
            bytes += static_cast<char>(random.bounded(256));
    }
    const QList<QByteArray> pieces{mpeg1Frame(),
                                   mpeg2Frame(),
                                   mpeg2Frame(true),
                                   QByteArray::fromHex("fffb"),
                                   QByteArray::fromHex("fff3"),
                                   QByteArray::fromHex("fffa"),
                                   QByteArray(1, '\xff')};
    while (bytes.size() < 20000) {
        if (random.bounded(2)) {
            QByteArray piece = pieces[random.bounded(int(pieces.size()))];
            if (random.bounded(4) == 0)
                piece.truncate(random.bounded(int(piece.size())));
            bytes += piece;
        } else {
            const int n = random.bounded(40);
            for (int i = 0; i < n; ++i)
                bytes += static_cast<char>(random.bounded(8) ? random.bounded(256) : 0xFF);
        }
    }

    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    QVERIFY(read(index, bytes));
    QVERIFY(index.frameCount() <= index.capacity());
    QCOMPARE(recorder.readPercents.last(), 100.0f);
    qint64 end = 0;
    for (int i = 0; i < index.frameCount(); ++i) {
        QVERIFY2(index.frameOffset(i) >= end, qPrintable(u"entry %1 overlaps"_s.arg(i)));
        QVERIFY(index.frameOffset(i) < bytes.size() - 12);
        QCOMPARE(int(static_cast<uchar>(bytes[index.frameOffset(i)])), 0xFF);
        QVERIFY(index.frameLength(i) >= 24);
        QVERIFY(index.frameGain(i) >= index.minGain());
        QVERIFY(index.frameGain(i) <= index.maxGain());
        end = index.frameOffset(i) + index.frameLength(i);
    }
}

void tst_CheapMp3::realEncoderOutputIsFullyIndexed_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("lameArguments");
    QTest::addColumn<int>("framesPerEntry");
    QTest::addColumn<bool>("infoFrame");

    QTest::newRow("MPEG-1 VBR 44.1 kHz") << 44100 << 2 << QStringList{u"-V2"_s} << 1 << true;
    QTest::newRow("MPEG-2 CBR 22.05 kHz") << 22050 << 2 << QStringList{u"-b64"_s} << 2 << true;
    // 104-byte frames have no room for lame's Info frame.
    QTest::newRow("MPEG-2 CBR 22.05 kHz mono")
        << 22050 << 1 << QStringList{u"-b32"_s, u"-mm"_s} << 2 << false;
    // lame picks MPEG-2.5 below 16 kHz.
    QTest::newRow("MPEG-2.5 CBR 12 kHz mono")
        << 12000 << 1 << QStringList{u"-b16"_s, u"-mm"_s} << 2 << false;
    QTest::newRow("MPEG-2.5 VBR 11.025 kHz") << 11025 << 2 << QStringList{u"-V5"_s} << 2 << true;
}

void tst_CheapMp3::realEncoderOutputIsFullyIndexed()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(QStringList, lameArguments);
    QFETCH(int, framesPerEntry);
    QFETCH(bool, infoFrame);

    if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffprobe"_s))
        QSKIP("needs lame and ffprobe");
    const QString path = m_dir.filePath(u"lame%1.mp3"_s.arg(++m_files));
    const QList<EncodedAudio::Tone> tones{{2.0, 440.0, 0.5}, {1.0, 0.0, 0.0}, {2.5, 1000.0, 0.7}};
    QString error;
    QVERIFY2(EncodedAudio::encode(path, tones, sampleRate, channels, lameArguments, &error),
             qPrintable(error));

    // ffprobe counts the audio frames; it leaves the Info frame out as well.
    QProcess probe;
    probe.start(u"ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-count_packets"_s, u"-select_streams"_s, u"a:0"_s,
                 u"-show_entries"_s, u"stream=nb_read_packets"_s, u"-of"_s, u"default=nw=1:nk=1"_s,
                 path});
    QVERIFY(probe.waitForFinished(60000));
    bool ok = false;
    const int packets = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toInt(&ok);
    QVERIFY(ok);
    QVERIFY(packets > 100);

    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(path);
    QCOMPARE(index.sampleRate(), sampleRate);
    QCOMPARE(index.channels(), channels);
    // Every entry stands for 1152 samples; an odd last MPEG-2 frame makes an entry alone.
    QCOMPARE(index.frameCount(), (packets + framesPerEntry - 1) / framesPerEntry);
    QCOMPARE(index.infoFrameOffset() >= 0, infoFrame);
    qint64 next = infoFrame ? index.infoFrameOffset() + index.infoFrameLength() : 0;
    for (int i = 0; i < index.frameCount(); ++i) {
        QCOMPARE(index.frameOffset(i), next);
        next += index.frameLength(i);
    }
    QCOMPARE(next, index.fileSize());
}

QTEST_GUILESS_MAIN(tst_CheapMp3)
#include "tst_cheapmp3.moc"
