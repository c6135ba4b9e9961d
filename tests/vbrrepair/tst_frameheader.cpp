#include "vbrrepair/frameheader.h"

#include "mp3streambuilder.h"

#include <QTest>

using H = Mp3StreamBuilder::Header;

class tst_FrameHeader : public QObject
{
    Q_OBJECT

private slots:
    void decodesDocumentedHeaders_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("layer");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("kbps");
        QTest::addColumn<int>("frameSize");
        QTest::addColumn<int>("xingOffset");
        QTest::newRow("MPEG-1 L3 128k joint") << 0xFFFB9064u << 1 << 3 << 44100 << 128 << 417 << 36;
        QTest::newRow("MPEG-1 L3 128k padded")
            << 0xFFFB9264u << 1 << 3 << 44100 << 128 << 418 << 36;
        QTest::newRow("MPEG-1 L3 stereo") << 0xFFFB9004u << 1 << 3 << 44100 << 128 << 417 << 36;
        QTest::newRow("MPEG-1 L3 mono") << 0xFFFB90C4u << 1 << 3 << 44100 << 128 << 417 << 21;
        QTest::newRow("MPEG-2 L3 64k joint") << 0xFFF38064u << 2 << 3 << 22050 << 64 << 208 << 21;
        QTest::newRow("MPEG-2 L3 64k mono") << 0xFFF380C4u << 2 << 3 << 22050 << 64 << 208 << 13;
        QTest::newRow("MPEG-1 L1 32k 32 kHz") << 0xFFFF1800u << 1 << 1 << 32000 << 32 << 48 << 36;
        // Layer II MPEG-1 index 9 is 160 kbit/s: 144 * 160000 / 44100 = 522.4.
        QTest::newRow("MPEG-1 L2 160k") << 0xFFFD9004u << 1 << 2 << 44100 << 160 << 522 << 36;
        // MPEG-2.5 L3 index 8 is 64 kbit/s: 72 * 64000 / 11025 = 417.9.
        QTest::newRow("MPEG-2.5 L3 64k") << 0xFFE38004u << 3 << 3 << 11025 << 64 << 417 << 21;
        // MPEG-2 L1 index 8 is 128 kbit/s: (12 * 128000 / 22050) * 4 = 69 * 4.
        QTest::newRow("MPEG-2 L1 128k") << 0xFFF78004u << 2 << 1 << 22050 << 128 << 276 << 21;
    }
    void decodesDocumentedHeaders()
    {
        QFETCH(quint32, value);
        const FrameHeader header(value);
        QVERIFY(header.isValid());
        QTEST(header.version(), "version");
        QTEST(header.layer(), "layer");
        QTEST(header.sampleRate(), "sampleRate");
        QTEST(header.bitrateKbps(), "kbps");
        QFETCH(int, kbps);
        QCOMPARE(header.bitrate(), kbps * 1000);
        QTEST(header.frameSize(), "frameSize");
        QTEST(header.xingOffset(), "xingOffset");
    }

    // Every legal combination against the test builder's own tables and formulas.
    void everyVersionLayerAndRateMatchesReference_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("layer");
        QTest::newRow("MPEG-1 L1") << int(Mp3StreamBuilder::Mpeg1) << 1;
        QTest::newRow("MPEG-1 L2") << int(Mp3StreamBuilder::Mpeg1) << 2;
        QTest::newRow("MPEG-1 L3") << int(Mp3StreamBuilder::Mpeg1) << 3;
        QTest::newRow("MPEG-2 L1") << int(Mp3StreamBuilder::Mpeg2) << 1;
        QTest::newRow("MPEG-2 L2") << int(Mp3StreamBuilder::Mpeg2) << 2;
        QTest::newRow("MPEG-2 L3") << int(Mp3StreamBuilder::Mpeg2) << 3;
        QTest::newRow("MPEG-2.5 L1") << int(Mp3StreamBuilder::Mpeg25) << 1;
        QTest::newRow("MPEG-2.5 L2") << int(Mp3StreamBuilder::Mpeg25) << 2;
        QTest::newRow("MPEG-2.5 L3") << int(Mp3StreamBuilder::Mpeg25) << 3;
    }
    void everyVersionLayerAndRateMatchesReference()
    {
        QFETCH(int, version);
        QFETCH(int, layer);
        for (int bitrate = 1; bitrate <= 14; ++bitrate) {
            for (int rate = 0; rate <= 2; ++rate) {
                for (bool padding : {false, true}) {
                    for (auto mode : {Mp3StreamBuilder::Stereo, Mp3StreamBuilder::Mono}) {
                        H h;
                        h.version = static_cast<Mp3StreamBuilder::Version>(version);
                        h.layer = layer;
                        h.bitrateIndex = bitrate;
                        h.sampleRateIndex = rate;
                        h.padding = padding;
                        h.mode = mode;
                        const FrameHeader header(h.value());
                        QVERIFY(header.isValid());
                        QCOMPARE(header.bitrateKbps(), h.bitrateKbps());
                        QCOMPARE(header.sampleRate(), h.sampleRate());
                        QCOMPARE(header.frameSize(), h.frameSize());
                        QCOMPARE(header.xingOffset(), h.xingOffset());
                        QCOMPARE(header.channelMode(), int(mode));
                    }
                }
            }
        }
    }

    void reservedFieldsAreNotFrames_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::newRow("bitrate index 15") << 0xFFFBF064u;
        QTest::newRow("sample-rate index 3") << 0xFFFB9C64u;
        QTest::newRow("emphasis 2") << 0xFFFB9066u;
        QTest::newRow("layer id 0") << 0xFFF99064u;
        QTest::newRow("version id 1") << 0xFFEB9064u;
        QTest::newRow("sync bit missing") << 0xFFDB9064u;
        QTest::newRow("first byte not 0xFF") << 0x7FFB9064u;
    }
    void reservedFieldsAreNotFrames()
    {
        QFETCH(quint32, value);
        const FrameHeader header(value);
        QVERIFY(!header.isValid());
        QCOMPARE(header.xingOffset(), -1);
    }

    void freeFormatIsValidButHasNoSize()
    {
        const FrameHeader header(0xFFFB0064u);
        QVERIFY(header.isValid());
        QVERIFY(header.isFreeBitrate());
        QCOMPARE(header.bitrate(), 0);
        QCOMPARE(header.frameSize(), -3);
        FrameHeader raised = header;
        QVERIFY(!raised.increaseBitrate());
        QCOMPARE(raised.value(), header.value());
    }

    void increaseBitrateStopsAtHighestLegalIndex_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<bool>("raised");
        QTest::addColumn<int>("kbps");
        QTest::newRow("128 -> 160") << 0xFFFB9064u << true << 160;
        QTest::newRow("index 14 stays") << 0xFFFBE064u << false << 320;
        QTest::newRow("32 -> 40") << 0xFFFB1064u << true << 40;
    }
    void increaseBitrateStopsAtHighestLegalIndex()
    {
        QFETCH(quint32, value);
        FrameHeader header(value);
        QTEST(header.increaseBitrate(), "raised");
        QTEST(header.bitrateKbps(), "kbps");
        QCOMPARE(header.value() & ~0xF000u, value & ~0xF000u);
    }

    void removeCrcSetsOnlyTheProtectionBit()
    {
        FrameHeader header(0xFFFA9064u);
        QVERIFY(header.hasCrc());
        header.removeCrc();
        QVERIFY(!header.hasCrc());
        QCOMPARE(header.value(), 0xFFFB9064u);
    }
};

QTEST_APPLESS_MAIN(tst_FrameHeader)
#include "tst_frameheader.moc"
