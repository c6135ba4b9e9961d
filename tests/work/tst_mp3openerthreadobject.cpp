#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"
#include "threadrun.h"
#include "work/mp3openerthreadobject.h"

using namespace Qt::StringLiterals;

class tst_Mp3OpenerThreadObject : public QObject
{
    Q_OBJECT

private slots:
    void stoppedReadDeliversNothingAndNextReadDelivers();
};

void tst_Mp3OpenerThreadObject::stoppedReadDeliversNothingAndNextReadDelivers()
{
    qRegisterMetaType<CheapMP3 *>("CheapMP3*");
    QTemporaryDir dir;
    const QString path = dir.filePath(u"frames.mp3"_s);
    Mp3StreamBuilder builder;
    builder.appendFrames(Mp3StreamBuilder::Header{}, 500, 120);
    QVERIFY(builder.save(path));

    Mp3OpenerThreadObject object(nullptr);
    ThreadRun run(&object);
    QSignalSpy ready(&object, &Mp3OpenerThreadObject::readyCheapMP3);

    // The flag set before the run is seen by the read's first check.
    object.setPath(path);
    object.stop();
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd());
    QCOMPARE(ready.count(), 0);

    object.setPath(path);
    QVERIFY(run.start());
    QVERIFY(run.waitForEnd());
    QCOMPARE(ready.count(), 1);
    const CheapMP3Ptr index = ready.first().first().value<CheapMP3Ptr>();
    QCOMPARE(index->frameCount(), 500);
    // Handed over free of the worker that will be reused.
    QVERIFY(!index->continueListener());
    QVERIFY(object.path().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Mp3OpenerThreadObject)
#include "tst_mp3openerthreadobject.moc"
