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

#include <algorithm>

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

// Reads bytes as a file; false when the file cannot be written.
bool readStructure(const QByteArray &bytes, Structure &out, bool skipFree = false,
                   std::function<bool()> stopWhen = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"in.mp3"_s);
    if (!Mp3StreamBuilder().append(bytes).save(path))
        return false;
    out.feedBack.stopWhen = std::move(stopWhen);
    ReadSettings settings;
    settings.skipFreeBitrateFrames = skipFree;
    FileBuffer input(path.toStdString());
    Mp3Reader reader(input, out.feedBack, out.stats, settings);
    try {
        reader.read();
    } catch (const char *text) {
        out.error = text;
    }
    for (const auto &object : reader.objects())
        out.objects.append(
            {int(object->type()), qint64(object->filePosition()), qint64(object->size())});
    return true;
}

// count 128 kbit/s frames as the table rows state objects: "type:size".
QByteArrayList frames128(int count)
{
    return QByteArrayList(count, "1:417");
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
    void objectsTileTheFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("objects");
        QTest::addColumn<QByteArray>("warning"); // the start of one warning; empty: none at all
        QTest::addColumn<QByteArray>("info");    // one info message; empty: not checked
        const QByteArray f = Mp3StreamBuilder::frame(h128());
        const QByteArray f160 = Mp3StreamBuilder::frame(h160());
        QTest::newRow("empty file")
            << QByteArray() << QByteArrayList() << QByteArray() << QByteArray();
        QTest::newRow("frames only")
            << f.repeated(7) << frames128(7) << QByteArray() << QByteArray();
        QTest::newRow("5 stray bytes")
            << "abcde" + f.repeated(3) << QByteArrayList{"0:5"} + frames128(3)
            << QByteArray("unknown data 0 to 5 , size = 5 (abcde)") << QByteArray();
        QTest::newRow("25 stray bytes")
            << "0123456789abcdefghijklmno" + f.repeated(3) << QByteArrayList{"0:25"} + frames128(3)
            << QByteArray("unknown data 0 to 25 , size = 25 (0123456789  ...  fghijklmno)")
            << QByteArray();
        QTest::newRow("bytes between frames")
            << f + f + "ABC" + f + f << frames128(2) + QByteArrayList{"0:3"} + frames128(2)
            << QByteArray("unknown data 834 to 837 , size = 3 (ABC)") << QByteArray();
        QTest::newRow("garbage after the last frame")
            << f + f + QByteArray(40, 'z') << frames128(2) + QByteArrayList{"0:40"}
            << QByteArray("unknown data 834 to 874 , size = 40 (") << QByteArray();
        QTest::newRow("frame running off the end")
            << f + f.left(100) << QByteArrayList{"1:417", "0:100"}
            << QByteArray("A Frame Runs off the end of the file, treating as unknown data")
            << QByteArray();

        // Between frames, a tag is one object of its own measure.
        const QList<std::tuple<const char *, QByteArray, QByteArray, QByteArray>> tags{
            {"ID3v1", Mp3StreamBuilder::id3v1(), "4:128", "Found Id3v1 Tag"},
            {"ID3v2 size 257", Mp3StreamBuilder::id3v2(257), "5:267", "Found Id3v2 Tag"},
            {"ID3v2 with footer", Mp3StreamBuilder::id3v2(257, true), "5:277", "Found Id3v2 Tag"},
            // The builder's size field counts items + footer; the tag adds its 32-byte header.
            {"APEv2 with header", Mp3StreamBuilder::apeTag(2000, 50), "7:114", "Found Ape Tag"},
            {"Lyrics3 v1", Mp3StreamBuilder::lyrics3v1(4000), "6:4020", "Found Lytics3 v1 Tag"},
            {"Lyrics3 v2", Mp3StreamBuilder::lyrics3v2(300), "6:326", "Found Lyrics3 v2 Tag"}};
        for (const auto &[name, tag, object, info] : tags)
            QTest::newRow(name) << f + f + tag + f160
                                << frames128(2) + QByteArrayList{object, "1:522"} << QByteArray()
                                << info;
        // LYRICSEND 6000 bytes in is past the version 1 limit; the scan goes on to LYRICS200.
        const QByteArray lyrics = QByteArray("LYRICSBEGIN") + QByteArray(6000, 'l') + "LYRICSEND"
            + QByteArray(20, 'm') + "LYRICS200";
        QTest::newRow("Lyrics3 v1 end marker past 5100 bytes")
            << lyrics << QByteArrayList{"6:" + QByteArray::number(lyrics.size())} << QByteArray()
            << QByteArray("Found Lyrics3 v2 Tag");

        // Doubtful tags after a frame become unknown data.
        const QList<std::pair<QByteArray, QByteArray>> doubtful{
            {QByteArray("TAG") + QByteArray(100, 'x'),
             "Found an Id3v1 Tag over the end of the file, treating as unknown data"},
            {Mp3StreamBuilder::id3v2(300).left(200),
             "Found an Id3v2 Tag over the end of the file, treating as unknown data"},
            {Mp3StreamBuilder::apeTag(1000, 40, false),
             "The repair engine doesn't currently support headerless ApeTags, treating as unknown "
             "data"},
            {Mp3StreamBuilder::apeTag(3000, 40),
             "APE tag with unknown version found, treating as unknown data"},
            {Mp3StreamBuilder::apeTag(2000, 400).left(100),
             "APE tag goes off end of the file, treating as unknown data"},
            // An APE header cut at 20 bytes.
            {QByteArray("APETAGEX") + QByteArray::fromHex("d0070000") + QByteArray(8, '\0'),
             "APE tag goes off end of the file, treating as unknown data"},
            {QByteArray("LYRICSBEGIN") + QByteArray(50, 'l'),
             "Partial LYRICSTAG detected, treating as unknown data"},
            {QByteArray("LYRICSBEGIN") + QByteArray(50, 'l') + char(0xFF) + "LYRICS200",
             "Partial LYRICSTAG detected(byte value 255 found in the data), treating as unknown "
             "data"}};
        for (const auto &[bytes, warning] : doubtful)
            QTest::addRow("%d bytes: %s", int(bytes.size()), warning.constData())
                << f + bytes << QByteArrayList{"1:417", "0:" + QByteArray::number(bytes.size())}
                << warning << QByteArray();
        // An ID3v2 header out of bounds is silently unknown data.
        for (const char *header :
             {"4944330400000000000a", "49443304000000000280", "494433ff000000000201"})
            QTest::addRow("ID3v2 header %s", header)
                << QByteArray::fromHex(header) + QByteArray(400, '\0') << QByteArrayList{"0:410"}
                << QByteArray("unknown data 0 to 410 , size = 410 (") << QByteArray();
    }
    void objectsTileTheFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, objects);
        QFETCH(QByteArray, warning);
        QFETCH(QByteArray, info);
        Structure s;
        QVERIFY(readStructure(bytes, s));
        QVERIFY(s.error.isEmpty());
        QByteArrayList found;
        qint64 end = 0;
        for (const Found &object : s.objects) {
            QCOMPARE(object.position, end);
            end += object.size;
            found += QByteArray::number(object.type) + ':' + QByteArray::number(object.size);
        }
        QCOMPARE(found, objects);
        QCOMPARE(end, bytes.size());
        quint64 unknown = 0;
        for (const QByteArray &object : objects)
            unknown += object.startsWith("0:") ? object.mid(2).toULongLong() : 0;
        QCOMPARE(s.stats.unknownBytes, unknown);
        if (unknown == 0 && !bytes.isEmpty())
            QCOMPARE(s.stats.percentUnderstood(), 100);
        QCOMPARE(s.stats.progress, 100);
        const QByteArrayList warnings = s.feedBack.texts(FeedBackInterface::Warning);
        const bool warned =
            std::any_of(warnings.begin(), warnings.end(),
                        [&](const QByteArray &text) { return text.startsWith(warning); });
        QVERIFY2(warning.isEmpty() ? warnings.isEmpty() : warned, warnings.join('|').constData());
        if (bytes.isEmpty())
            QVERIFY(s.feedBack.messages.empty());
        if (!info.isEmpty())
            QVERIFY(s.feedBack.has(FeedBackInterface::Info, info));
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
        QVERIFY(readStructure(b.bytes(), s));
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
        QVERIFY(readStructure(b.bytes(), s, false, [&asked] { return ++asked > 4; }));
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
        QVERIFY(readStructure(b.bytes(), s, skipFree));
        if (!skipFree) {
            QCOMPARE(s.error, QByteArray("Frame uses free bitrate, not supported"));
            return;
        }
        QVERIFY(s.error.isEmpty());
        QCOMPARE(s.objects.size(), 3);
        QCOMPARE(s.objects[1].type, 0);
        QCOMPARE(s.objects[1].size, 417);
    }

    // The remembered searches must give exactly what the byte-by-byte scan gives.
    void lyricsScanMatchesLiteralScanOnRandomFragments()
    {
        QRandomGenerator random(1234);
        // 0xFF is followed by 0x00 so that no frame header can form.
        const QList<QByteArray> pieces = {
            "LYRICSBEGIN", "LYRICSEND",           "LYRICS200", QByteArray("\xFF\x00", 2),
            "xx",          QByteArray(3000, 'q'), "LYRICS",    "TAG"};
        for (int round = 0; round < 40; ++round) {
            QByteArray file;
            const int count = 5 + int(random.bounded(30));
            for (int i = 0; i < count; ++i)
                file += pieces[int(random.bounded(pieces.size()))];
            Structure s;
            QVERIFY(readStructure(file, s));
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
        QVERIFY(readStructure(file, s));
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
