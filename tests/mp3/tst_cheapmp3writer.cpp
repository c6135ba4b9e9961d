#include "mp3/cheapmp3.h"

#include "listenerrecorder.h"
#include "mp3streambuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

class tst_CheapMp3Writer : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void contiguousRangeCopiesSourceBytes_data();
    void contiguousRangeCopiesSourceBytes();
    void writtenTrackIsLeadInAndItsEntries_data();
    void writtenTrackIsLeadInAndItsEntries();
    void lastEntryPastEndOfSourceIsCopiedAsFarAsItGoes();
    void copyInTheKernelOrThroughMemoryGivesTheSameBytes_data();
    void copyInTheKernelOrThroughMemoryGivesTheSameBytes();
    void stopLeavesTruncatedFileWithoutFullReport_data();
    void stopLeavesTruncatedFileWithoutFullReport();
    void unwritableTargetFailsWithMessage_data();
    void unwritableTargetFailsWithMessage();
    void writeWithoutIndexedSourceFails();

private:
    // Frames of alternating gains with the given bytes between them (none when empty);
    // false when the source cannot be written.
    bool buildSource(int frames, const QByteArray &between = {});
    QByteArray readAll(const QString &path) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_sourcePath;
    QByteArray m_source;
    QList<QByteArray> m_frames;
};

void tst_CheapMp3Writer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sourcePath = m_dir->filePath(u"album.mp3"_s);
    QVERIFY(buildSource(800));
}

bool tst_CheapMp3Writer::buildSource(int frames, const QByteArray &between)
{
    Mp3StreamBuilder builder;
    m_frames.clear();
    for (int i = 0; i < frames; ++i) {
        Mp3StreamBuilder::Header h;
        h.padding = i % 3 == 0;
        h.bitrateIndex = 9 + i % 3; // 128, 160, 192 kbit/s
        m_frames.append(Mp3StreamBuilder::frame(h, i % 200, static_cast<char>('a' + i % 26)));
        builder.append(m_frames.last());
        if (i + 1 < frames)
            builder.append(between);
    }
    m_source = builder.bytes();
    return builder.save(m_sourcePath);
}

QByteArray tst_CheapMp3Writer::readAll(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void tst_CheapMp3Writer::contiguousRangeCopiesSourceBytes_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstFrame");
    QTest::addColumn<int>("lastFrame");

    // 800 frames are about 470 KB: whole-file copies cross several read blocks.
    QTest::newRow("whole file") << 0 << 800 << 0 << 799;
    QTest::newRow("one entry") << 17 << 1 << 17 << 17;
    QTest::newRow("middle run") << 100 << 250 << 100 << 349;
    QTest::newRow("clipped at the end") << 790 << 50 << 790 << 799;
    QTest::newRow("clipped at the start") << -5 << 10 << 0 << 4;
    // An empty range gives an empty file and one closing report.
    QTest::newRow("no entries from the start") << 0 << 0 << 0 << -1;
    QTest::newRow("no entries in the middle") << 10 << 0 << 0 << -1;
    QTest::newRow("range after the last entry") << 800 << 5 << 0 << -1;
    QTest::newRow("range before the first entry") << -10 << 5 << 0 << -1;
    QTest::newRow("negative count") << 4 << -3 << 0 << -1;
}

void tst_CheapMp3Writer::contiguousRangeCopiesSourceBytes()
{
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(int, firstFrame);
    QFETCH(int, lastFrame);

    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    index.readFile(m_sourcePath);
    QCOMPARE(index.frameCount(), 800);
    const QString target = m_dir->filePath(u"track.mp3"_s);
    QString error = u"stale"_s;
    QVERIFY2(index.writeFile(target, first, count, {}, &error), qPrintable(error));
    QVERIFY(error.isEmpty());

    QByteArray expected;
    for (int i = firstFrame; i <= lastFrame; ++i)
        expected += m_frames[i];
    qint64 start = 0;
    for (int i = 0; i < firstFrame; ++i)
        start += m_frames[i].size();
    const QByteArray output = readAll(target);
    QCOMPARE(output, expected);
    QCOMPARE(output, m_source.mid(start, expected.size()));

    const int written = lastFrame - firstFrame + 1;
    QCOMPARE(recorder.writePercents.size(), written + 1);
    for (int i = 0; i < written; ++i)
        QCOMPARE(recorder.writePercents[i], float((i + 1) * 100.0 / written));
    QCOMPARE(recorder.writePercents.last(), 100.0f);
}

void tst_CheapMp3Writer::writtenTrackIsLeadInAndItsEntries_data()
{
    QTest::addColumn<QByteArray>("between");
    QTest::addColumn<bool>("oldTarget");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("leadIn");

    // A tag and junk between frames: the scan skips them, the copy must too.
    QTest::newRow("bytes between entries are left out")
        << Mp3StreamBuilder::id3v2(300) + QByteArray("junk") << false << 5 << 30 << QByteArray();
    QTest::newRow("longer existing target is replaced")
        << QByteArray() << true << 2 << 3 << QByteArray();
    const QByteArray leadIn = Mp3StreamBuilder::id3v2(2048);
    QTest::newRow("lead-in comes before the frames") << QByteArray() << false << 3 << 5 << leadIn;
    QTest::newRow("lead-in alone without entries") << QByteArray() << true << 0 << 0 << leadIn;
}

void tst_CheapMp3Writer::writtenTrackIsLeadInAndItsEntries()
{
    QFETCH(QByteArray, between);
    QFETCH(bool, oldTarget);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QByteArray, leadIn);

    if (!between.isEmpty())
        QVERIFY(buildSource(40, between));
    const QString target = m_dir->filePath(u"track.mp3"_s);
    if (oldTarget)
        QVERIFY(Mp3StreamBuilder().append(QByteArray(100000, 'o')).save(target));
    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(m_sourcePath);
    QCOMPARE(index.frameCount(), int(m_frames.size()));
    QString error;
    QVERIFY2(index.writeFile(target, first, count, leadIn, &error), qPrintable(error));
    QByteArray expected = leadIn;
    for (int i = first; i < first + count; ++i)
        expected += m_frames[i];
    QCOMPARE(readAll(target), expected);
}

void tst_CheapMp3Writer::lastEntryPastEndOfSourceIsCopiedAsFarAsItGoes()
{
    Mp3StreamBuilder builder;
    builder.appendFrames({}, 3).append(Mp3StreamBuilder::frame({}).left(200));
    QVERIFY(builder.save(m_sourcePath));
    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(m_sourcePath);
    QCOMPARE(index.frameCount(), 4);
    QCOMPARE(index.frameLength(3), 417);
    const QString target = m_dir->filePath(u"track.mp3"_s);
    QVERIFY(index.writeFile(target, 0, 4));
    QCOMPARE(readAll(target), builder.bytes());
}

void tst_CheapMp3Writer::copyInTheKernelOrThroughMemoryGivesTheSameBytes_data()
{
    QTest::addColumn<bool>("append");
    QTest::addColumn<bool>("withSink");
    QTest::addColumn<QByteArray>("between");

    // The kernel copies into a plain target but refuses one opened for appending; bytes a
    // sink has read go out from memory.
    QTest::newRow("kernel") << false << false << QByteArray();
    QTest::newRow("kernel, runs broken by junk") << false << false << QByteArray("junk");
    QTest::newRow("sink reads along") << false << true << QByteArray("junk");
    QTest::newRow("appending") << true << false << QByteArray();
    QTest::newRow("appending, sink reads along") << true << true << QByteArray("junk");
}

void tst_CheapMp3Writer::copyInTheKernelOrThroughMemoryGivesTheSameBytes()
{
    QFETCH(bool, append);
    QFETCH(bool, withSink);
    QFETCH(QByteArray, between);

    // About 2.5 MB: runs longer than one chunk.
    QVERIFY(buildSource(6000, between));
    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(m_sourcePath);
    QCOMPARE(index.frameCount(), 6000);
    const QByteArray leadIn = Mp3StreamBuilder::id3v2(100);
    QFile target(m_dir->filePath(u"track.mp3"_s));
    QVERIFY(target.open(append ? QIODevice::Append : QIODevice::WriteOnly));
    QByteArray seen;
    const auto sink = [&seen](const uchar *bytes, qsizetype size) {
        seen.append(reinterpret_cast<const char *>(bytes), size);
    };
    QString error;
    QFile source(m_sourcePath);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY2(index.writeEntries(source, target, 3, 5990, leadIn,
                                withSink ? CheapMP3::EntrySink(sink) : CheapMP3::EntrySink(), {},
                                &error),
             qPrintable(error));
    // The device goes on where the copy ended.
    QCOMPARE(target.pos(), target.size());
    target.close();
    QByteArray frames;
    for (int i = 3; i < 5993; ++i)
        frames += m_frames[i];
    QCOMPARE(readAll(target.fileName()), leadIn + frames);
    QCOMPARE(seen, withSink ? frames : QByteArray());
}

void tst_CheapMp3Writer::stopLeavesTruncatedFileWithoutFullReport_data()
{
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<int>("framesWritten");

    // A range of 20 entries: the stop is asked once per entry while the longest entry
    // is sought, then once before each copied entry.
    QTest::newRow("while the longest entry is sought") << 7 << 0;
    QTest::newRow("before the first entry is copied") << 20 << 0;
    QTest::newRow("after five entries") << 25 << 5;
    QTest::newRow("before the last entry") << 39 << 19;
}

void tst_CheapMp3Writer::stopLeavesTruncatedFileWithoutFullReport()
{
    QFETCH(int, stopAfter);
    QFETCH(int, framesWritten);

    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    index.readFile(m_sourcePath);
    recorder.stopAfter = stopAfter;
    recorder.asked = 0;
    const QString target = m_dir->filePath(u"track.mp3"_s);
    QString error = u"stale"_s;
    QVERIFY(!index.writeFile(target, 10, 20, {}, &error));
    QVERIFY(error.isEmpty());
    QByteArray expected;
    for (int i = 10; i < 10 + framesWritten; ++i)
        expected += m_frames[i];
    QCOMPARE(readAll(target), expected);
    QCOMPARE(recorder.writePercents.size(), framesWritten);
    QVERIFY(!recorder.writePercents.contains(100.0f));
}

void tst_CheapMp3Writer::unwritableTargetFailsWithMessage_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("created");

    QTest::newRow("missing folder") << u"no such folder/track.mp3"_s << false;
    // A plain file where a folder should be fails even for root.
    QTest::newRow("folder that is a file") << u"album.mp3/track.mp3"_s << false;
    // The device accepts the open and fails every write: a short write must be seen.
    if (QFileInfo::exists(u"/dev/full"_s))
        QTest::newRow("disk full") << u"/dev/full"_s << true;
    // The source itself is refused under any of its names.
    QTest::newRow("source's own path") << u"album.mp3"_s << false;
    QTest::newRow("source's path with dot segments") << u"./sub/../album.mp3"_s << false;
    QTest::newRow("symbolic link to the source") << u"link.mp3"_s << false;
    QTest::newRow("hard link to the source") << u"hardlink.mp3"_s << false;
}

void tst_CheapMp3Writer::unwritableTargetFailsWithMessage()
{
    QFETCH(QString, target);
    QFETCH(bool, created);

    QVERIFY(QDir(m_dir->path()).mkpath(u"sub"_s));
    QVERIFY(QFile::link(m_sourcePath, m_dir->filePath(u"link.mp3"_s)));
    QCOMPARE(::link(QFile::encodeName(m_sourcePath).constData(),
                    QFile::encodeName(m_dir->filePath(u"hardlink.mp3"_s)).constData()),
             0);
    ListenerRecorder recorder;
    CheapMP3 index(&recorder, &recorder, &recorder);
    index.readFile(m_sourcePath);
    const QString path = QDir::isAbsolutePath(target) ? target : m_dir->path() + u'/' + target;
    QString error;
    QVERIFY(!index.writeFile(path, 0, 800, {}, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    // No closing report: at most one per entry, and none when nothing was created.
    QVERIFY(recorder.writePercents.size() <= (created ? 800 : 0));
    QCOMPARE(readAll(m_sourcePath), m_source);
}

void tst_CheapMp3Writer::writeWithoutIndexedSourceFails()
{
    CheapMP3 index(nullptr, nullptr, nullptr);
    QString error;
    QVERIFY(!index.writeFile(m_dir->filePath(u"track.mp3"_s), 0, 1, {}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CheapMp3Writer)
#include "tst_cheapmp3writer.moc"
