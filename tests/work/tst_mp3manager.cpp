#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include "encodedaudio.h"
#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"
#include "work/command.h"
#include "work/mp3manager.h"

using namespace Qt::StringLiterals;

namespace {

class CountingCommand final : public Command
{
public:
    CountingCommand(CommandType commandType, int *counter)
        : Command(commandType)
        , m_counter(counter)
    {
    }
    void execute() override { ++*m_counter; }

private:
    int *m_counter;
};

} // namespace

class tst_Mp3Manager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void readsRealFileAndDeliversIndexOnMainThread();
    void readProgressOncePerWholePercent();
    void openWhileReadingKeepsTheRunningRead();
    void stopDuringReadDeliversNothingAndRunsEndReadOnce();
    void sliceEndRunsOnlyEndSliceCommands();
    void destructionWhileReadingDoesNotHang();
    void secondOpenRestartsTheCueSearch();
    void instanceLivesOnlyInsideItsScope();

private:
    void countCommands(Mp3Manager &manager);
    // Holds the opener thread inside its first progress report until released.
    void holdFirstProgress(Mp3Manager &manager);

    QTemporaryDir m_dir;
    QString m_encoded;
    QString m_large;
    int m_counts[4] = {};
    std::atomic<bool> m_release{false};
    std::atomic<bool> m_held{false};
};

void tst_Mp3Manager::initTestCase()
{
    m_encoded = m_dir.filePath(u"tone.mp3"_s);
    QString error;
    QVERIFY2(EncodedAudio::encode(m_encoded, {{3.0, 440.0, 0.5}}, 44100, 2, {u"-V2"_s}, &error),
             qPrintable(error));
    Mp3StreamBuilder large;
    large.appendFrames(Mp3StreamBuilder::Header{}, 20000, 120);
    m_large = m_dir.filePath(u"large.mp3"_s);
    QVERIFY(large.save(m_large));
}

void tst_Mp3Manager::init()
{
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    m_release = false;
    m_held = false;
}

void tst_Mp3Manager::countCommands(Mp3Manager &manager)
{
    for (CommandType type : {BeginRead, EndRead, BeginSlice, EndSlice})
        manager.addCommand(std::make_unique<CountingCommand>(type, &m_counts[type]));
}

void tst_Mp3Manager::holdFirstProgress(Mp3Manager &manager)
{
    connect(
        &manager, &Mp3Manager::readProgress, &manager,
        [this](float) {
            if (m_held.exchange(true))
                return;
            while (!m_release.load())
                QThread::usleep(200);
        },
        Qt::DirectConnection);
}

void tst_Mp3Manager::readsRealFileAndDeliversIndexOnMainThread()
{
    Mp3Manager manager;
    countCommands(manager);
    QThread *deliveredOn = nullptr;
    CheapMP3Ptr index;
    connect(&manager, &Mp3Manager::readyCheapMP3, this, [&](CheapMP3Ptr delivered) {
        deliveredOn = QThread::currentThread();
        index = std::move(delivered);
    });
    QSignalSpy ready(&manager, &Mp3Manager::readyCheapMP3);
    manager.openMp3(m_encoded);
    QCOMPARE(m_counts[BeginRead], 1);
    QVERIFY(ready.wait(10000));
    QTRY_COMPARE(m_counts[EndRead], 1);
    QCOMPARE(deliveredOn, QThread::currentThread());
    QVERIFY(index);
    // 3 s at 44.1 kHz is about 115 entries of 1152 samples.
    QVERIFY2(index->frameCount() >= 114 && index->frameCount() <= 118,
             qPrintable(QString::number(index->frameCount())));
    QVERIFY(index->bitrateVaries());
    QVERIFY(!index->continueListener());
}

void tst_Mp3Manager::readProgressOncePerWholePercent()
{
    Mp3Manager manager;
    QList<float> reported;
    connect(&manager, &Mp3Manager::readProgress, this,
            [&](float percent) { reported.append(percent); });
    QSignalSpy ready(&manager, &Mp3Manager::readyCheapMP3);
    manager.openMp3(m_large);
    QVERIFY(ready.wait(10000));
    QTRY_VERIFY(!manager.isReading());
    QVERIFY(reported.size() > 10);
    QCOMPARE(int(reported.last()), 100);
    for (int i = 1; i < reported.size(); ++i)
        QVERIFY(int(reported.at(i)) != int(reported.at(i - 1)));

    // A second file whose first report is 100 does not repeat it.
    reported.clear();
    const QString tiny = m_dir.filePath(u"tiny.mp3"_s);
    QVERIFY(Mp3StreamBuilder().append("short").save(tiny));
    manager.openMp3(tiny);
    QVERIFY(ready.wait(10000));
    QTRY_VERIFY(!manager.isReading());
    QVERIFY(reported.isEmpty());
}

void tst_Mp3Manager::openWhileReadingKeepsTheRunningRead()
{
    Mp3Manager manager;
    countCommands(manager);
    holdFirstProgress(manager);
    QList<int> frameCounts;
    connect(&manager, &Mp3Manager::readyCheapMP3, this,
            [&](CheapMP3Ptr index) { frameCounts.append(index->frameCount()); });
    manager.openMp3(m_large);
    QTRY_VERIFY(m_held.load());
    manager.openMp3(m_encoded);
    QCOMPARE(m_counts[BeginRead], 2);
    m_release = true;
    QTRY_COMPARE(m_counts[EndRead], 1);
    QTRY_COMPARE(frameCounts.size(), 1);
    QCOMPARE(frameCounts.first(), 20000);
}

void tst_Mp3Manager::stopDuringReadDeliversNothingAndRunsEndReadOnce()
{
    Mp3Manager manager;
    countCommands(manager);
    holdFirstProgress(manager);
    int delivered = 0;
    connect(&manager, &Mp3Manager::readyCheapMP3, this, [&](CheapMP3Ptr) { ++delivered; });
    manager.openMp3(m_large);
    QTRY_VERIFY(m_held.load());
    manager.onStopAnyWork();
    m_release = true;
    // The index would be queued before the end of the read, so it would have arrived by now.
    QTRY_COMPARE(m_counts[EndRead], 1);
    QCOMPARE(delivered, 0);

    manager.openMp3(m_encoded);
    QTRY_COMPARE(delivered, 1);
    QTRY_COMPARE(m_counts[EndRead], 2);
}

void tst_Mp3Manager::sliceEndRunsOnlyEndSliceCommands()
{
    Mp3Manager manager;
    countCommands(manager);
    CheapMP3Ptr index;
    connect(&manager, &Mp3Manager::readyCheapMP3, this, [&](CheapMP3Ptr i) { index = i; });
    manager.openMp3(m_encoded);
    QTRY_COMPARE(m_counts[EndRead], 1);
    QVERIFY(index);

    QSignalSpy written(&manager, &Mp3Manager::trackWritten);
    manager.slice(m_dir.path(), {Track{u"t"_s, u"a"_s, 1, 0, 1000}}, index);
    QCOMPARE(m_counts[BeginSlice], 1);
    QTRY_COMPARE(m_counts[EndSlice], 1);
    QCOMPARE(written.count(), 1);
    QCOMPARE(m_counts[EndRead], 1);
    QCOMPARE(m_counts[BeginRead], 1);
    // The job let go of the index when it ended.
    QCOMPARE(index.use_count(), 1);
}

void tst_Mp3Manager::secondOpenRestartsTheCueSearch()
{
    Mp3Manager manager;
    QStringList mp3s;
    for (const QString &name : {u"a"_s, u"b"_s}) {
        const QString folder = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(folder));
        QFile sheet(folder + u'/' + name + u".cue"_s);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        mp3s << folder + u'/' + name + u".mp3"_s;
        QVERIFY(QFile::copy(m_encoded, mp3s.last()));
    }
    QList<FileFinder::FileList> found;
    connect(&manager, &Mp3Manager::readyCueFiles, this,
            [&](const FileFinder::FileList &files) { found.append(files); });
    QSignalSpy ended(&manager, &Mp3Manager::cueSearchEnded);
    // The first search is still running when the second file comes.
    manager.openMp3(mp3s.at(0));
    QVERIFY(manager.isReading());
    manager.openMp3(mp3s.at(1));
    QVERIFY(ended.wait(10000));
    QTRY_VERIFY(!manager.isReading());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first(), (FileFinder::FileList{m_dir.filePath(u"b/b.cue"_s)}));
}

void tst_Mp3Manager::destructionWhileReadingDoesNotHang()
{
    auto manager = std::make_unique<Mp3Manager>();
    holdFirstProgress(*manager);
    manager->openMp3(m_large);
    QTRY_VERIFY(m_held.load());
    std::thread releaser([this] {
        QThread::msleep(100);
        m_release = true;
    });
    manager.reset();
    releaser.join();
    QVERIFY(m_release.load());
}

void tst_Mp3Manager::instanceLivesOnlyInsideItsScope()
{
    QVERIFY(!Mp3Manager::instance());
    {
        Mp3ManagerScope scope;
        QVERIFY(Mp3Manager::instance());
    }
    // A late caller gets nothing rather than a new manager with four fresh threads.
    QVERIFY(!Mp3Manager::instance());
}

QTEST_GUILESS_MAIN(tst_Mp3Manager)
#include "tst_mp3manager.moc"
