#include "vbrrepair/filebuffer.h"
#include "vbrrepair/mp3reader.h"
#include "vbrrepair/readsettings.h"
#include "vbrrepair/structurestats.h"

#include "mp3streambuilder.h"
#include "recordingfeedback.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using H = Mp3StreamBuilder::Header;

namespace {

struct Found
{
    int type;
    qint64 position;
    qint64 size;
};

struct Structure
{
    QList<Found> objects;
    RecordingFeedBack feedBack;
    StructureStats stats;
    QByteArray error;
};

void readStructure(const QByteArray &bytes, Structure &out, bool skipFree = false,
                   std::function<bool()> stopWhen = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"in.mp3"_s);
    QVERIFY(Mp3StreamBuilder().append(bytes).save(path));
    out.feedBack.stopWhen = std::move(stopWhen);
    ReadSettings settings;
    settings.skipFreeBitrateFrames = skipFree;
    FileBuffer input(path.toStdString());
    Mp3Reader reader(input, out.feedBack, out.stats, settings);
    try {
        QVERIFY(reader.read());
    } catch (const char *text) {
        out.error = text;
    }
    for (const auto &object : reader.objects())
        out.objects.append({int(object->type()), qint64(object->filePosition()), qint64(object->size())});
}

H h128()
{
    return H{};
}
H h160()
{
    H h;
    h.bitrateIndex = 10;
    return h;
}

// The Lyrics3 scan exactly as written, byte by byte, as the oracle for the fast one.
QByteArray literalLyricsScan(const QByteArray &file, qint64 start, qint64 *size)
{
    auto at = [&](qint64 i, const char *text) {
        const qint64 n = qint64(qstrlen(text));
        return start + i + n <= file.size() && file.mid(start + i, n) == text;
    };
    for (qint64 i = 11; i < 1000008; ++i) {
        if (start + i >= file.size())
            return "partial";
        if (quint8(file[start + i]) == 255)
            return "255";
        if (i < 5100 && at(i, "LYRICSEND")) {
            *size = i + 9;
            return "v1";
        }
        if (at(i, "LYRICS200")) {
            *size = i + 9;
            return "v2";
        }
    }
    return "none";
}

} // namespace

class tst_Mp3Reader : public QObject
{
    Q_OBJECT

private slots:
    void emptyFileHasNoObjects()
    {
        Structure s;
        readStructure({}, s);
        QVERIFY(s.objects.isEmpty());
        QVERIFY(s.feedBack.messages.empty());
        QCOMPARE(s.stats.progress, 100);
        QCOMPARE(s.stats.percentUnderstood(), 0);
    }

    void framesOnlyLeaveNoUnknownData()
    {
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 7);
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.objects.size(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(s.objects[i].type, 1);
            QCOMPARE(s.objects[i].position, qint64(417 * i));
        }
        QCOMPARE(s.stats.percentUnderstood(), 100);
        QCOMPARE(s.stats.frameCount(), 7);
        QVERIFY(!s.stats.isVbr());
    }

    void strayBytesBecomeUnknownDataWithTheirMessage_data()
    {
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("5 bytes") << QByteArray("abcde")
                                 << QByteArray("unknown data 0 to 5 , size = 5 (abcde)");
        QTest::newRow("25 bytes") << QByteArray("0123456789abcdefghijklmno")
                                  << QByteArray("unknown data 0 to 25 , size = 25 (0123456789  ...  fghijklmno)");
    }
    void strayBytesBecomeUnknownDataWithTheirMessage()
    {
        QFETCH(QByteArray, stray);
        QFETCH(QByteArray, message);
        Mp3StreamBuilder b;
        b.append(stray).appendFrames(h128(), 3);
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.objects.size(), 4);
        QCOMPARE(s.objects[0].type, 0);
        QCOMPARE(s.objects[0].position, 0);
        QCOMPARE(s.objects[0].size, stray.size());
        QCOMPARE(s.feedBack.texts(FeedBackInterface::Warning), QList<QByteArray>{message});
    }

    void bytesBetweenFramesAreReportedWithPositions()
    {
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 2).append("ABC").appendFrames(h128(), 2);
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.feedBack.texts(FeedBackInterface::Warning),
                 QList<QByteArray>{"unknown data 834 to 837 , size = 3 (ABC)"});
        QCOMPARE(s.objects[2].type, 0);
        QCOMPARE(s.stats.unknownBytes, 3u);
    }

    void garbageAfterLastFrameIsFlushedAtTheEnd()
    {
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 2).append(QByteArray(40, 'z'));
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.objects.size(), 3);
        QCOMPARE(s.objects.last().type, 0);
        QCOMPARE(s.objects.last().position, 834);
        QCOMPARE(s.objects.last().size, 40);
    }

    void bitrateMixDecidesVbr_data()
    {
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<bool>("vbr");
        QTest::newRow("128 and 160") << QList<int>{9, 10, 9} << true;
        QTest::newRow("all 128") << QList<int>{9, 9, 9} << false;
        QTest::newRow("single frame") << QList<int>{10} << false;
    }
    void bitrateMixDecidesVbr()
    {
        QFETCH(QList<int>, indices);
        Mp3StreamBuilder b;
        for (int index : indices) {
            H h;
            h.bitrateIndex = index;
            b.appendFrames(h, 1);
        }
        Structure s;
        readStructure(b.bytes(), s);
        QTEST(s.stats.isVbr(), "vbr");
        QCOMPARE(s.stats.frameCount(), indices.size());
    }

    void percentUnderstoodRoundsHalfUp_data()
    {
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<quint64>("unknown");
        QTest::addColumn<int>("percent");
        QTest::newRow("1% of 10000") << qint64(10000) << quint64(100) << 99;
        QTest::newRow("0.6% of 1000") << qint64(1000) << quint64(6) << 99;
        QTest::newRow("0.4% of 1000") << qint64(1000) << quint64(4) << 100;
        QTest::newRow("nothing known") << qint64(1000) << quint64(1000) << 0;
        QTest::newRow("empty") << qint64(0) << quint64(0) << 0;
    }
    void percentUnderstoodRoundsHalfUp()
    {
        QFETCH(qint64, fileSize);
        QFETCH(quint64, unknown);
        StructureStats stats;
        stats.fileSize = fileSize;
        stats.unknownBytes = unknown;
        QTEST(stats.percentUnderstood(), "percent");
    }

    void stopRequestKeepsObjectsFoundSoFar()
    {
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 10);
        Structure s;
        int asked = 0;
        readStructure(b.bytes(), s, false, [&asked] { return ++asked > 4; });
        QCOMPARE(s.objects.size(), 4);
        QCOMPARE(s.stats.progress, 100);
    }

    void freeFormatFailsOrBecomesUnknown_data()
    {
        QTest::addColumn<bool>("skipFree");
        QTest::newRow("fails by default") << false;
        QTest::newRow("skipped when asked") << true;
    }
    void freeFormatFailsOrBecomesUnknown()
    {
        QFETCH(bool, skipFree);
        QByteArray free = Mp3StreamBuilder::frame(h128());
        free[2] = char(0x00 | (free[2] & 0x0F)); // bitrate index 0
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 1).append(free).appendFrames(h128(), 1);
        Structure s;
        readStructure(b.bytes(), s, skipFree);
        if (!skipFree) {
            QCOMPARE(s.error, QByteArray("Frame uses free bitrate, not supported"));
            return;
        }
        QVERIFY(s.error.isEmpty());
        QCOMPARE(s.objects.size(), 3);
        QCOMPARE(s.objects[1].type, 0);
        QCOMPARE(s.objects[1].size, 417);
    }

    void frameRunningOffTheEndIsUnknown()
    {
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 1).append(Mp3StreamBuilder::frame(h128()).left(100));
        Structure s;
        readStructure(b.bytes(), s);
        QVERIFY(s.feedBack.has(FeedBackInterface::Warning,
                               "A Frame Runs off the end of the file, treating as unknown data"));
        QCOMPARE(s.objects.size(), 2);
        QCOMPARE(s.objects[1].type, 0);
        QCOMPARE(s.objects[1].size, 100);
    }

    void tagsAreRecognisedAndMeasured_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("info");
        QTest::newRow("ID3v1") << Mp3StreamBuilder::id3v1() << 4 << qint64(128) << QByteArray("Found Id3v1 Tag");
        QTest::newRow("ID3v2 size 257") << Mp3StreamBuilder::id3v2(257) << 5 << qint64(267) << QByteArray("Found Id3v2 Tag");
        QTest::newRow("ID3v2 with footer") << Mp3StreamBuilder::id3v2(257, true) << 5 << qint64(277) << QByteArray("Found Id3v2 Tag");
        // The builder's size field counts items + footer; the tag adds its 32-byte header.
        QTest::newRow("APEv2 with header") << Mp3StreamBuilder::apeTag(2000, 50) << 7 << qint64(50 + 64) << QByteArray("Found Ape Tag");
        QTest::newRow("Lyrics3 v1") << Mp3StreamBuilder::lyrics3v1(4000) << 6 << qint64(4020) << QByteArray("Found Lytics3 v1 Tag");
        QTest::newRow("Lyrics3 v2") << Mp3StreamBuilder::lyrics3v2(300) << 6 << qint64(11 + 300 + 6 + 9) << QByteArray("Found Lyrics3 v2 Tag");
    }
    void tagsAreRecognisedAndMeasured()
    {
        QFETCH(QByteArray, tag);
        QFETCH(int, type);
        QFETCH(qint64, size);
        QFETCH(QByteArray, info);
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 2).append(tag).appendFrames(h160(), 1);
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.objects.size(), 4);
        QCOMPARE(s.objects[2].type, type);
        QCOMPARE(s.objects[2].position, 834);
        QCOMPARE(s.objects[2].size, size);
        QVERIFY(s.feedBack.has(FeedBackInterface::Info, info));
        QVERIFY(s.feedBack.texts(FeedBackInterface::Warning).isEmpty());
        QCOMPARE(s.stats.percentUnderstood(), 100);
    }

    void doubtfulTagsBecomeUnknownData_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("warning");
        QTest::newRow("ID3v1 over the end") << QByteArray("TAG") + QByteArray(100, 'x')
            << QByteArray("Found an Id3v1 Tag over the end of the file, treating as unknown data");
        QTest::newRow("ID3v2 over the end") << Mp3StreamBuilder::id3v2(300).left(200)
            << QByteArray("Found an Id3v2 Tag over the end of the file, treating as unknown data");
        QTest::newRow("APEv1 footer only") << Mp3StreamBuilder::apeTag(1000, 40, false)
            << QByteArray("The repair engine doesn't currently support headerless ApeTags, treating as unknown data");
        QTest::newRow("APE version 3000") << Mp3StreamBuilder::apeTag(3000, 40)
            << QByteArray("APE tag with unknown version found, treating as unknown data");
        QTest::newRow("APE size past the end") << Mp3StreamBuilder::apeTag(2000, 400).left(100)
            << QByteArray("APE tag goes off end of the file, treating as unknown data");
        QTest::newRow("APE header cut at 20 bytes") << QByteArray("APETAGEX") + QByteArray::fromHex("d0070000") + QByteArray(8, '\0')
            << QByteArray("APE tag goes off end of the file, treating as unknown data");
        QTest::newRow("Lyrics3 without end marker") << QByteArray("LYRICSBEGIN") + QByteArray(50, 'l')
            << QByteArray("Partial LYRICSTAG detected, treating as unknown data");
        QTest::newRow("Lyrics3 with a 255 byte") << QByteArray("LYRICSBEGIN") + QByteArray(50, 'l') + char(0xFF) + "LYRICS200"
            << QByteArray("Partial LYRICSTAG detected(byte value 255 found in the data), treating as unknown data");
    }
    void doubtfulTagsBecomeUnknownData()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, warning);
        Mp3StreamBuilder b;
        b.appendFrames(h128(), 1).append(bytes);
        Structure s;
        readStructure(b.bytes(), s);
        QVERIFY2(s.feedBack.has(FeedBackInterface::Warning, warning),
                 s.feedBack.texts(FeedBackInterface::Warning).join('|').constData());
        QCOMPARE(s.objects.size(), 2);
        QCOMPARE(s.objects[1].type, 0);
        QCOMPARE(s.objects[1].size, bytes.size());
    }

    void id3v2HeaderOutOfBoundsIsSilentlyIgnored_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("size 10") << QByteArray::fromHex("494433040000" "0000000a");
        QTest::newRow("size byte 0x80") << QByteArray::fromHex("494433040000" "00000280");
        QTest::newRow("version 0xFF") << QByteArray::fromHex("494433ff0000" "00000201");
    }
    void id3v2HeaderOutOfBoundsIsSilentlyIgnored()
    {
        QFETCH(QByteArray, header);
        Mp3StreamBuilder b;
        b.append(header + QByteArray(400, '\0'));
        Structure s;
        readStructure(b.bytes(), s);
        QVERIFY(!s.feedBack.has(FeedBackInterface::Info, "Found Id3v2 Tag"));
        QCOMPARE(s.objects.size(), 1);
        QCOMPARE(s.objects[0].type, 0);
    }

    void lyricsVersion1EndMarkerOnlyCountsBelow5100()
    {
        // LYRICSEND 6000 bytes in is past the version 1 limit; the scan goes on to LYRICS200.
        const QByteArray tag = QByteArray("LYRICSBEGIN") + QByteArray(6000, 'l') + "LYRICSEND"
            + QByteArray(20, 'm') + "LYRICS200";
        Mp3StreamBuilder b;
        b.append(tag);
        Structure s;
        readStructure(b.bytes(), s);
        QCOMPARE(s.objects.size(), 1);
        QCOMPARE(s.objects[0].type, 6);
        QCOMPARE(s.objects[0].size, tag.size());
        QVERIFY(s.feedBack.has(FeedBackInterface::Info, "Found Lyrics3 v2 Tag"));
    }

    // The remembered searches must give exactly what the byte-by-byte scan gives.
    void lyricsScanMatchesLiteralScanOnRandomFragments()
    {
        QRandomGenerator random(1234);
        // 0xFF is followed by 0x00 so that no frame header can form.
        const QList<QByteArray> pieces = {"LYRICSBEGIN", "LYRICSEND", "LYRICS200", QByteArray("\xFF\x00", 2),
                                          "xx", QByteArray(3000, 'q'), "LYRICS", "TAG"};
        for (int round = 0; round < 40; ++round) {
            QByteArray file;
            const int count = 5 + int(random.bounded(30));
            for (int i = 0; i < count; ++i)
                file += pieces[int(random.bounded(pieces.size()))];
            Structure s;
            readStructure(file, s);
            // Walk the objects and replay each position the reader tried.
            QList<QByteArray> expected;
            qint64 position = 0;
            while (position < file.size()) {
                qint64 advance = 1;
                if (file.mid(position, 3) == "TAG") {
                    expected += position + 128 <= file.size() ? "id3v1" : "id3v1-over";
                    if (position + 128 <= file.size())
                        advance = 128;
                } else if (file.mid(position, 11) == "LYRICSBEGIN") {
                    qint64 size = 0;
                    const QByteArray result = literalLyricsScan(file, position, &size);
                    expected += result;
                    if (result == "v1" || result == "v2")
                        advance = size;
                }
                position += advance;
            }
            QList<QByteArray> actual;
            for (const FeedBackMessage &m : s.feedBack.messages) {
                const QByteArray t = QByteArray::fromStdString(m.text);
                if (t == "Found Id3v1 Tag")
                    actual += "id3v1";
                else if (t.startsWith("Found an Id3v1"))
                    actual += "id3v1-over";
                else if (t == "Partial LYRICSTAG detected, treating as unknown data")
                    actual += "partial";
                else if (t.startsWith("Partial LYRICSTAG detected(byte"))
                    actual += "255";
                else if (t == "Found Lytics3 v1 Tag")
                    actual += "v1";
                else if (t == "Found Lyrics3 v2 Tag")
                    actual += "v2";
            }
            QCOMPARE(actual, expected);
        }
    }

    void repeatedLyricsBeginWithoutEndIsLinear()
    {
        QByteArray file;
        file.reserve(10 * 1024 * 1024);
        while (file.size() < 10 * 1024 * 1024)
            file += "LYRICSBEGIN";
        QElapsedTimer timer;
        timer.start();
        Structure s;
        readStructure(file, s);
        QVERIFY2(timer.elapsed() < 10000, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(s.objects.size(), 1);
        QCOMPARE(s.objects[0].size, file.size());
        // Candidates more than a million bytes from the end find nothing and say nothing;
        // the rest run into the end of the file. Plus the one unknown-data message.
        qsizetype partial = 0;
        for (qsizetype start = 0; start < file.size(); start += 11)
            partial += start + 1000008 > file.size() ? 1 : 0;
        QCOMPARE(qsizetype(s.feedBack.texts(FeedBackInterface::Warning).size()), partial + 1);
    }
};

QTEST_APPLESS_MAIN(tst_Mp3Reader)
#include "tst_mp3reader.moc"
