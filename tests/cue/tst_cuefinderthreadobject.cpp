#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "cue/cuefinderthreadobject.h"
#include "threadrun.h"

using namespace Qt::StringLiterals;

namespace {

bool touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("TRACK 01 AUDIO\n") > 0;
}

QStringList fileNames(const FileFinder::FileList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names.append(QFileInfo(path).fileName());
    names.sort();
    return names;
}

} // namespace

// The CUE search next to an MP3, run on a real worker thread.
class tst_CueFinderThreadObject : public QObject
{
    Q_OBJECT

private slots:
    void sheetsNextToMp3AreFoundAndReducedUnlessStopped_data();
    void sheetsNextToMp3AreFoundAndReducedUnlessStopped();
    void listTravelsQueuedUnderItsRegisteredName();
    void nextRunSearchesTheNewFolder();
};

void tst_CueFinderThreadObject::sheetsNextToMp3AreFoundAndReducedUnlessStopped_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("links");    // sheets that are symbolic links to a real one
    QTest::addColumn<QStringList>("expected"); // empty: no readyCueFiles at all
    QTest::addColumn<bool>("stopped");         // asked to stop before the run

    QTest::newRow("own name wins over another sheet")
        << QStringList{u"Album.cue"_s, u"Other.cue"_s} << QStringList{}
        << QStringList{u"Album.cue"_s} << false;
    QTest::newRow("only another sheet")
        << QStringList{u"Other.cue"_s} << QStringList{} << QStringList{u"Other.cue"_s} << false;
    QTest::newRow("all sheets kept without own name")
        << QStringList{u"B.cue"_s, u"A.cue"_s} << QStringList{}
        << QStringList{u"A.cue"_s, u"B.cue"_s} << false;
    QTest::newRow("Album.cd1.cue is not reduced")
        << QStringList{u"Album.cd1.cue"_s, u"Album.cd2.cue"_s} << QStringList{}
        << QStringList{u"Album.cd1.cue"_s, u"Album.cd2.cue"_s} << false;
    QTest::newRow("own name compared case-sensitively")
        << QStringList{u"album.cue"_s, u"Other.cue"_s} << QStringList{}
        << QStringList{u"Other.cue"_s, u"album.cue"_s} << false;
    QTest::newRow("upper-case suffix not found")
        << QStringList{u"Album.CUE"_s, u"Album.Cue"_s} << QStringList{} << QStringList{} << false;
    QTest::newRow("subfolders ignored") << QStringList{u"cd1/Album.cue"_s, u"sub/x/Other.cue"_s}
                                        << QStringList{} << QStringList{} << false;
    QTest::newRow("symbolic links skipped")
        << QStringList{} << QStringList{u"Album.cue"_s, u"Other.cue"_s} << QStringList{} << false;
    QTest::newRow("no sheets") << QStringList{u"Album.txt"_s, u"cue"_s} << QStringList{}
                               << QStringList{} << false;
    QTest::newRow("stopped run reports nothing")
        << QStringList{u"Album.cue"_s} << QStringList{} << QStringList{} << true;
}

void tst_CueFinderThreadObject::sheetsNextToMp3AreFoundAndReducedUnlessStopped()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, links);
    QFETCH(QStringList, expected);
    QFETCH(bool, stopped);

    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    QVERIFY(dir.isValid() && elsewhere.isValid());
    QVERIFY(touch(dir.filePath(u"Album.mp3"_s)));
    for (const QString &file : std::as_const(files))
        QVERIFY(touch(dir.filePath(file)));
    const QString target = elsewhere.filePath(u"real.cue"_s);
    QVERIFY(touch(target));
    for (const QString &link : std::as_const(links))
        QVERIFY(QFile::link(target, dir.filePath(link)));

    CueFinderThreadObject object;
    ThreadRun run(&object);
    QSignalSpy ready(&object, &CueFinderThreadObject::readyCueFiles);
    QSignalSpy finished(&object, &IThreadObject::finished);
    object.setPath(dir.filePath(u"Album.mp3"_s));
    if (stopped)
        object.stop();
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(object.path().isEmpty());

    if (expected.isEmpty()) {
        QCOMPARE(ready.count(), 0);
        return;
    }
    QCOMPARE(ready.count(), 1);
    const auto found = ready.first().first().value<FileFinder::FileList>();
    QCOMPARE(fileNames(found), expected);
    const QString canonicalDir = QFileInfo(dir.path()).canonicalFilePath();
    for (const QString &path : found)
        QCOMPARE(QFileInfo(path).absolutePath(), canonicalDir);
}

void tst_CueFinderThreadObject::listTravelsQueuedUnderItsRegisteredName()
{
    QVERIFY(QMetaType::fromName("FileFinder::FileList").isValid());

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(touch(dir.filePath(u"Other.cue"_s)));
    CueFinderThreadObject object;
    ThreadRun run(&object);
    QThread *receivedOn = nullptr;
    FileFinder::FileList received;
    connect(&object, &CueFinderThreadObject::readyCueFiles, this,
            [&](const FileFinder::FileList &files) {
                receivedOn = QThread::currentThread();
                received = files;
            });
    object.setPath(dir.filePath(u"Album.mp3"_s)); // the MP3 need not exist to be searched
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(receivedOn, QThread::currentThread());
    QCOMPARE(received,
             FileFinder::FileList{QFileInfo(dir.filePath(u"Other.cue"_s)).canonicalFilePath()});
}

void tst_CueFinderThreadObject::nextRunSearchesTheNewFolder()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(touch(first.filePath(u"One.cue"_s)));
    QVERIFY(touch(second.filePath(u"Two.cue"_s)));
    CueFinderThreadObject object;
    ThreadRun run(&object);
    QSignalSpy ready(&object, &CueFinderThreadObject::readyCueFiles);

    object.setPath(first.filePath(u"a.mp3"_s));
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    object.setPath(second.filePath(u"a.mp3"_s));
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));

    QCOMPARE(ready.count(), 2);
    QCOMPARE(fileNames(ready.at(0).first().value<FileFinder::FileList>()),
             QStringList{u"One.cue"_s});
    QCOMPARE(fileNames(ready.at(1).first().value<FileFinder::FileList>()),
             QStringList{u"Two.cue"_s});
}

QTEST_GUILESS_MAIN(tst_CueFinderThreadObject)
#include "tst_cuefinderthreadobject.moc"
