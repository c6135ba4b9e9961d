#include "vbrrepair/filebuffer.h"
#include "vbrrepair/mp3reader.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/structurestats.h"
#include "vbrrepair/xingframe.h"

#include "mp3streambuilder.h"
#include "recordingfeedback.h"
#include "referencecrc.h"

#include <QTemporaryDir>
#include <QTest>

#include <sstream>

using namespace Qt::StringLiterals;
using H = Mp3StreamBuilder::Header;

namespace {

H header(Mp3StreamBuilder::Version version, Mp3StreamBuilder::ChannelMode mode,
         int bitrateIndex = 9)
{
    H h;
    h.version = version;
    h.mode = mode;
    h.bitrateIndex = bitrateIndex;
    return h;
}

QByteArray written(const XingFrame &frame, FileBuffer &input)
{
    std::ostringstream out;
    frame.write(input, out);
    return QByteArray::fromStdString(out.str());
}

} // namespace

class tst_XingFrame : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_emptyPath;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_emptyPath = m_dir.filePath(u"empty.mp3"_s);
        QVERIFY(Mp3StreamBuilder().save(m_emptyPath));
        QCOMPARE(ReferenceCrc::arc("123456789"), quint16(0xBB3D));
        QCOMPARE(ReferenceCrc::cms("123456789"), quint16(0xAEE7));
    }

    void recognisesXingFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("outcome");
        QTest::addColumn<int>("lameStart");
        const H stereo = header(Mp3StreamBuilder::Mpeg1, Mp3StreamBuilder::JointStereo);
        const QByteArray lame = Mp3StreamBuilder::lameExtension();
        QTest::newRow("flags 15, LAME at 156")
            << Mp3StreamBuilder::xingFrame(stereo, 15, 10, 4170, {}, 80, lame) << 2
            << QByteArray("Found Xing Header Frame with LAME info") << 156;
        QTest::newRow("flags 3, LAME at 52")
            << Mp3StreamBuilder::xingFrame(stereo, 3, 10, 4170, {}, 0, lame) << 2
            << QByteArray("Found Xing Header Frame with LAME info") << 52;
        QByteArray misplaced = Mp3StreamBuilder::xingFrame(stereo, 3, 10, 4170);
        misplaced.replace(156, 4, "LAME");
        QTest::newRow("flags 3, LAME at 156")
            << misplaced << 0 << QByteArray("Unknown error with LAME info") << -1;
        QTest::newRow("no LAME") << Mp3StreamBuilder::xingFrame(stereo, 15, 10, 4170) << 2
                                 << QByteArray("Found Xing Header Frame") << -1;
        QTest::newRow("Info tag")
            << Mp3StreamBuilder::xingFrame(stereo, 15, 10, 4170, {}, 0, lame, "Info") << 0
            << QByteArray("The repair engine doesn't currently support Lame 'Info' tags as this is "
                          "usually associated with CBR files")
            << -1;
        QTest::newRow("MPEG-1 mono at 21")
            << Mp3StreamBuilder::xingFrame(header(Mp3StreamBuilder::Mpeg1, Mp3StreamBuilder::Mono),
                                           15, 1, 2, {}, 0, lame)
            << 2 << QByteArray("Found Xing Header Frame with LAME info") << 141;
        QTest::newRow("MPEG-2 mono at 13") << Mp3StreamBuilder::xingFrame(
            header(Mp3StreamBuilder::Mpeg2, Mp3StreamBuilder::Mono, 8), 15, 1, 2, {}, 0, lame)
                                           << 2
                                           << QByteArray("Found Xing Header Frame with LAME info")
                                           << 133;
        QTest::newRow("Xing at the stereo offset of a mono frame")
            << Mp3StreamBuilder::xingFrame(stereo, 15, 1, 2)
                   .replace(0, 4, QByteArray::fromHex("fffb90c4"))
            << 1 << QByteArray() << -1;
        QTest::newRow("VBRI at 36")
            << Mp3StreamBuilder::vbriFrame(stereo) << 3 << QByteArray() << -1;
        QByteArray longLame = Mp3StreamBuilder::xingFrame(
            header(Mp3StreamBuilder::Mpeg1, Mp3StreamBuilder::JointStereo, 14), 15, 1, 2, {}, 0,
            lame);
        longLame[156 + 300] = 'x';
        QTest::newRow("LAME data past 228 bytes")
            << longLame << 0 << QByteArray("Unexpectedly long LAME info tag") << -1;
    }
    void recognisesXingFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, type);
        QFETCH(QByteArray, outcome);
        QFETCH(int, lameStart);
        const QString path = m_dir.filePath(u"x.mp3"_s);
        QVERIFY(Mp3StreamBuilder().append(frame).save(path));
        FileBuffer input(path.toStdString());
        RecordingFeedBack feedBack;
        StructureStats stats;
        RepairSettings settings;
        Mp3Reader reader(input, feedBack, stats, settings);
        QByteArray error;
        try {
            reader.read();
        } catch (const char *text) {
            error = text;
        }
        if (type == 0) {
            QCOMPARE(error, outcome);
            return;
        }
        QVERIFY(error.isEmpty());
        QCOMPARE(reader.objects().size(), size_t(1));
        QCOMPARE(int(reader.objects()[0]->type()), type);
        if (!outcome.isEmpty())
            QCOMPARE(feedBack.texts(FeedBackInterface::Info), QList<QByteArray>{outcome});
        if (type != 2)
            return;
        const auto &xing = static_cast<const XingFrame &>(*reader.objects()[0]);
        if (lameStart < 0) {
            QVERIFY(!xing.hasLameInfo());
            return;
        }
        QCOMPARE(qsizetype(xing.lameData.size()), frame.size() - lameStart);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(xing.lameData.data()), 4),
                 QByteArray("LAME"));
    }

    void tocOfThousandEqualFrames()
    {
        std::vector<std::unique_ptr<Mp3Frame>> frames;
        XingFrame xing(FrameHeader(0xFFFB9064u));
        std::vector<Mp3Object *> objects{&xing};
        for (int i = 0; i < 1000; ++i) {
            frames.push_back(std::make_unique<Mp3Frame>(417u * i, FrameHeader(0xFFFB9064u)));
            objects.push_back(frames.back().get());
        }
        FileBuffer input(m_emptyPath.toStdString());
        xing.calculate(objects, nullptr, RepairSettings(), input);
        QCOMPARE(xing.frames, 1000u);
        QCOMPARE(xing.bytes, 417417u);
        QCOMPARE(xing.flags, 7u);
        QCOMPARE(int(xing.toc[0]), 0);
        QCOMPARE(int(xing.toc[50]), 128);
        QCOMPARE(int(xing.toc[99]), 253);
        QCOMPARE(xing.size(), 417u);
    }

    void bitrateRisesUntilLameDataFits_data()
    {
        QTest::addColumn<quint32>("dominant");
        QTest::addColumn<int>("lameBytes");
        QTest::addColumn<int>("kbps");
        QTest::addColumn<int>("size");
        QTest::newRow("32k with 100 bytes") << 0xFFFB1064u << 100 << 80 << 261;
        QTest::newRow("128k already large enough") << 0xFFFB9064u << 100 << 128 << 417;
        QTest::newRow("320k too small") << 0xFFFBE064u << 1000 << -1 << -1;
    }
    void bitrateRisesUntilLameDataFits()
    {
        QFETCH(quint32, dominant);
        QFETCH(int, lameBytes);
        XingFrame source(FrameHeader(0xFFFB9064u));
        source.lameData.assign(std::size_t(lameBytes), 0);
        XingFrame xing{FrameHeader(dominant)};
        Mp3Frame audio(0, FrameHeader(0xFFFB9064u));
        std::vector<Mp3Object *> objects{&xing, &audio};
        RepairSettings settings;
        settings.repairLameTag = false;
        FileBuffer input(m_emptyPath.toStdString());
        QByteArray error;
        try {
            xing.calculate(objects, &source, settings, input);
        } catch (const char *text) {
            error = text;
        }
        QFETCH(int, kbps);
        if (kbps < 0) {
            QCOMPARE(error,
                     QByteArray("Can't create an Xing Header Big enough to encapsulate the data"));
            return;
        }
        QVERIFY(error.isEmpty());
        QCOMPARE(xing.header().bitrateKbps(), kbps);
        QTEST(int(xing.size()), "size");
        QCOMPARE(written(xing, input).size(), int(xing.size()));
    }

    void crcOfNewFrameFollowsSetting_data()
    {
        QTest::addColumn<quint32>("dominant");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("keepsCrc");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("L3, default drops it") << 0xFFFA9064u << 0 << false << QByteArray();
        QTest::newRow("L3, mode 1 keeps it") << 0xFFFA9064u << 1 << true << QByteArray();
        QTest::newRow("L2, mode 1 drops it") << 0xFFFC9004u << 1 << false << QByteArray();
        QTest::newRow("L2, mode 2 cannot write it")
            << 0xFFFC9004u << 2 << true
            << QByteArray("Xing Frame Crc update not supported on this type of mpeg audio file, "
                          "please alter the options");
    }
    void crcOfNewFrameFollowsSetting()
    {
        QFETCH(quint32, dominant);
        QFETCH(int, mode);
        QFETCH(bool, keepsCrc);
        QFETCH(QByteArray, error);
        XingFrame xing{FrameHeader(dominant)};
        std::vector<Mp3Object *> objects{&xing};
        RepairSettings settings;
        settings.xingCrcMode = mode;
        FileBuffer input(m_emptyPath.toStdString());
        xing.calculate(objects, nullptr, settings, input);
        QCOMPARE(xing.header().hasCrc(), keepsCrc);
        QByteArray bytes;
        try {
            bytes = written(xing, input);
        } catch (const char *text) {
            QCOMPARE(QByteArray(text), error);
            return;
        }
        QVERIFY(error.isEmpty());
        if (keepsCrc) {
            // ISO CRC over header bytes 2-3 and the 32 bytes of side information.
            const QByteArray covered = bytes.mid(2, 2) + bytes.mid(6, 32);
            const quint16 expected = ReferenceCrc::cms(covered);
            QCOMPARE(quint16((quint8(bytes[4]) << 8) | quint8(bytes[5])), expected);
        }
    }

    void literalLameCrcOnlyKnowsTheStereoMpeg1Layout_data()
    {
        QTest::addColumn<quint32>("dominant");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("MPEG-1 stereo") << 0xFFFB9064u << QByteArray();
        QTest::newRow("MPEG-1 mono")
            << 0xFFFB90C4u
            << QByteArray(
                   "This type of Lame Info is unsupported, Recalculation of LameCrc cannot be "
                   "performed. Try turrning off Lame CRC recalculation or logging a bug.");
    }
    void literalLameCrcOnlyKnowsTheStereoMpeg1Layout()
    {
        QFETCH(quint32, dominant);
        QFETCH(QByteArray, error);
        XingFrame source(FrameHeader(0xFFFB9064u));
        const QByteArray lame = Mp3StreamBuilder::lameExtension();
        source.lameData.assign(lame.begin(), lame.end());
        XingFrame xing{FrameHeader(dominant)};
        std::vector<Mp3Object *> objects{&xing};
        RepairSettings settings;
        settings.repairLameTag = false;
        settings.lameInfoMode = 2;
        FileBuffer input(m_emptyPath.toStdString());
        xing.calculate(objects, &source, settings, input);
        try {
            const QByteArray bytes = written(xing, input);
            QVERIFY(error.isEmpty());
            QCOMPARE(bytes.mid(156, 4), QByteArray("LAME"));
            const quint16 stored = quint16((quint8(bytes[190]) << 8) | quint8(bytes[191]));
            QCOMPARE(stored, ReferenceCrc::arc(bytes.left(190)));
        } catch (const char *text) {
            QCOMPARE(QByteArray(text), error);
        }
    }

    void tocToleranceIsTwo_data()
    {
        QTest::addColumn<int>("difference");
        QTest::addColumn<bool>("equivalent");
        QTest::newRow("equal") << 0 << true;
        QTest::newRow("off by 2") << 2 << true;
        QTest::newRow("off by 3") << 3 << false;
    }
    void tocToleranceIsTwo()
    {
        QFETCH(int, difference);
        XingFrame a{FrameHeader(0xFFFB9064u)};
        XingFrame b{FrameHeader(0xFFFB9064u)};
        for (XingFrame *x : {&a, &b}) {
            x->flags = 15;
            x->frames = 100;
            x->bytes = 41700;
            x->quality = 57;
            x->toc.assign(100, 100);
        }
        b.toc[40] = static_cast<unsigned char>(100 + difference);
        QTEST(a.isEquivalent(b), "equivalent");
        b.toc[40] = 100;
        b.bytes += 1; // a different stream size is never equivalent
        QVERIFY(!a.isEquivalent(b));
    }
};

QTEST_APPLESS_MAIN(tst_XingFrame)
#include "tst_xingframe.moc"
