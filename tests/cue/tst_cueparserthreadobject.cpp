#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "cue/cueparserthreadobject.h"
#include "threadrun.h"

using namespace Qt::StringLiterals;

// Runs the parser on a real worker thread, as the work manager does, and receives its
// results on the main thread through queued connections.
class tst_CueParserThreadObject : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sheetTracksArriveQueuedOnMainThread();
    void noReadyTracksForSheetWithoutTracks_data();
    void noReadyTracksForSheetWithoutTracks();
    void stopSuppressesTracksButNotFinishedNorNextRun();
    void pathIsClearedAfterRun();

private:
    QString writeSheet(const QString &name, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_CueParserThreadObject::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString tst_CueParserThreadObject::writeSheet(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

void tst_CueParserThreadObject::sheetTracksArriveQueuedOnMainThread()
{
    const QString path = writeSheet(
        u"album.cue"_s,
        "REM GENRE Jazz\nPERFORMER \"Sheet\"\nTITLE \"Album\"\nFILE \"album.mp3\" MP3\n"
        "  TRACK 01 AUDIO\n    TITLE \"One\"\n    PERFORMER \"X\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Y\"\n    INDEX 01 03:25:40\n");
    QVERIFY(!path.isEmpty());

    CueParserThreadObject object;
    ThreadRun run(&object);
    QThread *receivedOn = nullptr;
    TrackContainer received;
    int readyCount = 0;
    Album album;
    connect(&object, &CueParserThreadObject::readyAlbum, this, [&](const Album &a) { album = a; });
    Album albumWithTracks;
    connect(&object, &CueParserThreadObject::readyTracks, this, [&](const TrackContainer &tracks) {
        albumWithTracks = album;
        receivedOn = QThread::currentThread();
        received = tracks;
        ++readyCount;
    });
    QSignalSpy finished(&object, &IThreadObject::finished);

    object.setPath(path);
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));

    QCOMPARE(readyCount, 1);
    QCOMPARE(receivedOn, QThread::currentThread());
    QCOMPARE(finished.count(), 1);
    // The album is there by the time the tracks arrive.
    QCOMPARE(albumWithTracks.album, u"Album"_s);
    QCOMPARE(albumWithTracks.albumArtist, u"Sheet"_s);
    QCOMPARE(albumWithTracks.genre, u"Jazz"_s);
    // 03:25:40 is 3 min 25 s and 40 of 75 frames: CD frame 15415, 205533 ms. The last end
    // stays open.
    QCOMPARE(received,
             (TrackContainer{Track{u"One"_s, u"X"_s, 1, 0, 205533, true, 0, 15415},
                             Track{u"Two"_s, u"Y"_s, 2, 205533, 0, true, 15415, -1}}));
}

void tst_CueParserThreadObject::noReadyTracksForSheetWithoutTracks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("create");

    QTest::newRow("empty sheet") << u"empty.cue"_s << QByteArray() << true;
    QTest::newRow("no TRACK line") << u"header.cue"_s << QByteArray("TITLE \"x\"\nREM y\n") << true;
    QTest::newRow("missing file") << u"missing.cue"_s << QByteArray() << false;
    QTest::newRow("empty path") << QString() << QByteArray() << false;
}

void tst_CueParserThreadObject::noReadyTracksForSheetWithoutTracks()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, create);
    QString path = name.isEmpty() ? QString() : m_dir->filePath(name);
    if (create)
        QVERIFY(!writeSheet(name, bytes).isEmpty());

    CueParserThreadObject object;
    ThreadRun run(&object);
    QSignalSpy ready(&object, &CueParserThreadObject::readyTracks);
    QSignalSpy finished(&object, &IThreadObject::finished);
    object.setPath(path);
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(ready.count(), 0);
}

void tst_CueParserThreadObject::stopSuppressesTracksButNotFinishedNorNextRun()
{
    const QString path = writeSheet(u"one.cue"_s, "TRACK 01 AUDIO\n  INDEX 01 00:01:00\n");
    QVERIFY(!path.isEmpty());
    CueParserThreadObject object;
    ThreadRun run(&object);
    QSignalSpy ready(&object, &CueParserThreadObject::readyTracks);
    QSignalSpy finished(&object, &IThreadObject::finished);

    // The flag is only read once the sheet is read, so setting it first stops this run.
    object.setPath(path);
    object.stop();
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(ready.count(), 0);
    QVERIFY(object.shouldContinue());

    object.setPath(path);
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(finished.count(), 2);
    QCOMPARE(ready.count(), 1);
    const auto tracks = ready.first().first().value<TrackContainer>();
    QCOMPARE(tracks.size(), 1);
    QCOMPARE(tracks.first().start, 1000);
}

void tst_CueParserThreadObject::pathIsClearedAfterRun()
{
    const QString path = writeSheet(u"one.cue"_s, "TRACK 01 AUDIO\n");
    QVERIFY(!path.isEmpty());
    CueParserThreadObject object;
    ThreadRun run(&object);
    QSignalSpy ready(&object, &CueParserThreadObject::readyTracks);
    object.setPath(path);
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(ready.count(), 1);
    QVERIFY(object.path().isEmpty());

    // A second start without a new path has nothing to parse.
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd(5000));
    QCOMPARE(ready.count(), 1);
}

QTEST_GUILESS_MAIN(tst_CueParserThreadObject)
#include "tst_cueparserthreadobject.moc"
