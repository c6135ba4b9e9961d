#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "mp3streambuilder.h"
#include "slice/headerrepair.h"
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/repairsettings.h"

using namespace Qt::StringLiterals;

namespace {

using Header = Mp3StreamBuilder::Header;

// Asks the engine to stop once it has reported progress a given number of times after
// reading the file: the driver reports four times before writing and once per object
// while it writes.
class StoppingFeedBack final : public FeedBackInterface
{
public:
    explicit StoppingFeedBack(int stopAfterProgress)
        : m_stopAfter(stopAfterProgress)
    {
    }
    void progress() override
    {
        if (m_read)
            ++m_progressCalls;
    }
    void message(FeedBackMessage message) override
    {
        if (message.text == "Finished Reading Mp3 Structure")
            m_read = true;
        if (message.level == Error)
            errors.push_back(message.text);
    }
    bool shouldStop() override { return m_stopAfter >= 0 && m_progressCalls >= m_stopAfter; }

    std::vector<std::string> errors;

private:
    int m_stopAfter = -1;
    int m_progressCalls = 0;
    bool m_read = false;
};

QByteArray vbrTrack()
{
    Header high;
    high.bitrateIndex = 11;
    Mp3StreamBuilder builder;
    builder.append(Mp3StreamBuilder::id3v2(300));
    for (int i = 0; i < 300; ++i)
        builder.appendFrames(i % 3 ? Header{} : high, 1, 100);
    builder.append(Mp3StreamBuilder::id3v1());
    return builder.bytes();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList temporaryFilesOf(const QString &path)
{
    const QFileInfo track(path);
    return track.dir().entryList({track.fileName() + u".*"_s}, QDir::Files | QDir::Hidden);
}

bool repair(FeedBackInterface &feedBack, const QString &path, QString *reason)
{
    return HeaderRepair(feedBack).run(path, path + u".XXXXXX"_s, RepairSettings(), reason);
}

} // namespace

class tst_HeaderRepair : public QObject
{
    Q_OBJECT

private slots:
    void stopWhileRepairingLeavesTheTrackUntouched_data();
    void stopWhileRepairingLeavesTheTrackUntouched();
    void completedRepairLeavesNoTemporaryFile();
    void missingTrackIsReportedAndNothingIsCreated();
};

void tst_HeaderRepair::stopWhileRepairingLeavesTheTrackUntouched_data()
{
    QTest::addColumn<int>("stopAfter");
    QTest::newRow("before writing") << 3;
    QTest::newRow("after the first object") << 5;
    QTest::newRow("half way through the frames") << 150;
}

void tst_HeaderRepair::stopWhileRepairingLeavesTheTrackUntouched()
{
    QFETCH(int, stopAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"restore me.mp3"_s);
    const QByteArray original = vbrTrack();
    QVERIFY(Mp3StreamBuilder().append(original).save(path));

    StoppingFeedBack feedBack(stopAfter);
    QString reason;
    QVERIFY(repair(feedBack, path, &reason));
    QVERIFY(reason.isEmpty());
    QCOMPARE(contents(path), original);
    QVERIFY(temporaryFilesOf(path).isEmpty());
}

void tst_HeaderRepair::completedRepairLeavesNoTemporaryFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"complete.mp3"_s);
    const QByteArray original = vbrTrack();
    QVERIFY(Mp3StreamBuilder().append(original).save(path));

    StoppingFeedBack feedBack(-1);
    QString reason;
    QVERIFY(repair(feedBack, path, &reason));
    const QByteArray repaired = contents(path);
    const Header dominant;
    QCOMPARE(repaired.size(), original.size() + dominant.frameSize());
    QCOMPARE(repaired.mid(310 + dominant.xingOffset(), 4), QByteArray("Xing"));
    QVERIFY(temporaryFilesOf(path).isEmpty());
    QVERIFY(feedBack.errors.empty());
}

void tst_HeaderRepair::missingTrackIsReportedAndNothingIsCreated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"absent.mp3"_s);
    StoppingFeedBack feedBack(-1);
    QString reason;
    QVERIFY(!repair(feedBack, path, &reason));
    QVERIFY(reason.contains(u"Failed To Open File"_s));
    QVERIFY(!QFile::exists(path));
    QVERIFY(temporaryFilesOf(path).isEmpty());
}

QTEST_GUILESS_MAIN(tst_HeaderRepair)
#include "tst_headerrepair.moc"
