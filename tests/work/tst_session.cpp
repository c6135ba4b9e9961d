#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"
#include "silentalbum.h"
#include "tracks/tracklist.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Session::SheetRule)

namespace {

constexpr int kFrames = 6001; // past 5,000 entries, and not a round number of columns

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

int framesOf(const QString &path)
{
    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(path);
    return index.frameCount();
}

QByteArray sheetText(const QString &mp3Name)
{
    return "FILE \"" + mp3Name.toUtf8()
        + "\" MP3\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
          "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:40:33\n"
          "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 01:30:71\n";
}

} // namespace

// The rules both front ends share, on a real work manager and its threads.
class tst_Session : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void tracksHoldEveryFrame_data();
    void tracksHoldEveryFrame();
    void interruptedOpenLeavesPreviousFile_data();
    void interruptedOpenLeavesPreviousFile();
    void sliceProgressCoversTheTickedTracks_data();
    void sliceProgressCoversTheTickedTracks();
    void cutsAtOrPastTheEndAreRefused();
    void silencesProposeTheirCuts();
    void undoAndRedoRestoreTheExactList_data();
    void undoAndRedoRestoreTheExactList();

private:
    // A folder of its own holding the synthetic album under name, plus the named sheets.
    QString albumIn(const QString &folder, const QString &name, const QStringList &sheets = {});
    bool openAndWait(Session &session, const QString &path);
    bool sliceAndWait(Session &session, const QString &folder, const TrackContainer &tracks);

    QTemporaryDir m_dir;
    QByteArray m_album;
    Mp3Manager m_manager;
};

void tst_Session::initTestCase()
{
    QVERIFY(m_dir.isValid());
    Mp3StreamBuilder builder;
    builder.appendFrames(Mp3StreamBuilder::Header{}, kFrames, 120);
    m_album = builder.bytes();
}

QString tst_Session::albumIn(const QString &folder, const QString &name, const QStringList &sheets)
{
    const QString path = m_dir.filePath(folder);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    QFile mp3(path + u'/' + name);
    if (!mp3.open(QIODevice::WriteOnly) || mp3.write(m_album) != m_album.size())
        return {};
    for (const QString &sheet : sheets) {
        QFile file(path + u'/' + sheet);
        if (!file.open(QIODevice::WriteOnly) || file.write(sheetText(name)) < 0)
            return {};
    }
    return mp3.fileName();
}

bool tst_Session::openAndWait(Session &session, const QString &path)
{
    QSignalSpy built(&session, &Session::tracksBuilt);
    return session.open(path) && built.wait(10000);
}

bool tst_Session::sliceAndWait(Session &session, const QString &folder,
                               const TrackContainer &tracks)
{
    QSignalSpy ended(&session, &Session::sliceEnded);
    return session.slice(folder, tracks) && ended.wait(20000);
}

void tst_Session::tracksHoldEveryFrame_data()
{
    QTest::addColumn<QString>("mp3");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<Session::SheetRule>("rule");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("whole file is track 1")
        << u"Album.mp3"_s << QStringList{} << Session::SheetRule::OwnOnly
        << QStringList{u"01 - Album - Album.mp3"_s};
    QTest::newRow("own sheet, last-suffix name")
        << u"Live 2024.05.01.mp3"_s << QStringList{u"Live 2024.05.01.cue"_s}
        << Session::SheetRule::OwnOnly
        << QStringList{u"01 - One.mp3"_s, u"02 - Two.mp3"_s, u"03 - Three.mp3"_s};
    QTest::newRow("another date's sheet is not taken")
        << u"Live 2024.05.01.mp3"_s << QStringList{u"Live 2024.05.02.cue"_s}
        << Session::SheetRule::OwnOnly
        << QStringList{u"01 - Live 2024.05.01 - Live 2024.05.01.mp3"_s};
}

void tst_Session::tracksHoldEveryFrame()
{
    QFETCH(QString, mp3);
    QFETCH(QStringList, sheets);
    QFETCH(Session::SheetRule, rule);
    QFETCH(QStringList, written);

    Session session(&m_manager);
    session.setSheetRule(rule);
    const QString path = albumIn(u"frames"_s, mp3, sheets);
    QVERIFY(openAndWait(session, path));
    const QString out = m_dir.filePath(u"frames/out"_s);
    QVERIFY(sliceAndWait(session, out, TrackList::instance()->allTracks()));

    QCOMPARE(filesIn(out), written);
    int frames = 0;
    for (const QString &name : written)
        frames += framesOf(out + u'/' + name);
    QCOMPARE(frames, kFrames);
    QCOMPARE(session.lastSlice().written, written.size());
}

void tst_Session::interruptedOpenLeavesPreviousFile_data()
{
    QTest::addColumn<bool>("stop");    // the user stops the read
    QTest::addColumn<bool>("noAudio"); // the second file is not an MP3
    QTest::newRow("stopped read") << true << false;
    QTest::newRow("file without audio") << false << true;
}

void tst_Session::interruptedOpenLeavesPreviousFile()
{
    QFETCH(bool, stop);
    QFETCH(bool, noAudio);

    Session session(&m_manager);
    const QString first = albumIn(u"first"_s, u"First.mp3"_s, {u"First.cue"_s});
    QVERIFY(openAndWait(session, first));
    const CheapMP3 *index = session.frameIndex();
    const TrackContainer tracks = TrackList::instance()->allTracks();
    QCOMPARE(tracks.size(), 3);

    const QString second = albumIn(u"second"_s, u"Second.mp3"_s, {u"Second.cue"_s});
    if (noAudio) {
        QFile file(second);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(20000, 'x'));
    }
    // Holds the read inside its first progress report, so the stop lands mid-read.
    std::atomic<bool> release{!stop};
    const QMetaObject::Connection hold = connect(
        &m_manager, &Mp3Manager::readProgress, &m_manager,
        [&] {
            while (!release.load())
                QThread::usleep(200);
        },
        Qt::DirectConnection);
    QSignalSpy failed(&session, &Session::openFailed);
    QSignalSpy sheets(&session, &Session::sheetChoiceNeeded);
    QVERIFY(session.open(second));
    // Nothing may act on the old file's index under the new file's name meanwhile.
    QVERIFY(!session.canSlice());
    QVERIFY(!session.slice(m_dir.filePath(u"nowhere"_s), tracks));
    QString why;
    QVERIFY(!session.open(first, &why));
    QVERIFY(why.startsWith(u"A file is being read."_s));
    if (stop) {
        session.stop();
        release = true;
    }
    QVERIFY(failed.wait(10000));
    disconnect(hold);

    QCOMPARE(failed.first().at(1).toString().isEmpty(), stop);
    QCOMPARE(sheets.count(), 0);
    QCOMPARE(session.state(), Session::State::Ready);
    QCOMPARE(session.currentFile(), first);
    QCOMPARE(session.frameIndex(), index);
    QCOMPARE(TrackList::instance()->allTracks(), tracks);
    QVERIFY(session.canSlice());
    QVERIFY(!QDir(m_dir.filePath(u"nowhere"_s)).exists());
}

void tst_Session::sliceProgressCoversTheTickedTracks_data()
{
    QTest::addColumn<QList<int>>("ticked"); // indexes into the sheet's three tracks
    QTest::newRow("whole-file track") << QList<int>{};
    QTest::newRow("two of three tracks") << QList<int>{1, 2};
}

void tst_Session::sliceProgressCoversTheTickedTracks()
{
    QFETCH(QList<int>, ticked);

    Session session(&m_manager);
    const QString path = albumIn(u"progress"_s, u"Album.mp3"_s,
                                 ticked.isEmpty() ? QStringList{} : QStringList{u"Album.cue"_s});
    QVERIFY(openAndWait(session, path));
    TrackContainer tracks;
    for (int i : ticked)
        tracks.append(TrackList::instance()->trackAt(i));
    if (ticked.isEmpty())
        tracks = TrackList::instance()->allTracks();

    QList<int> percents;
    connect(&session, &Session::sliceProgress, this,
            [&](int percent, int) { percents.append(percent); });
    QVERIFY(sliceAndWait(session, m_dir.filePath(u"progress/out"_s), tracks));
    QVERIFY(percents.size() > 2);
    QVERIFY(std::is_sorted(percents.begin(), percents.end()));
    QVERIFY2(percents.first() >= 0 && percents.last() == 100,
             qPrintable(QString::number(percents.last())));
}

void tst_Session::cutsAtOrPastTheEndAreRefused()
{
    Session session(&m_manager);
    QVERIFY(openAndWait(session, albumIn(u"cuts"_s, u"Album.mp3"_s)));
    const int total = session.totalLength();
    // 6001 entries of 1152 samples at 44.1 kHz.
    QCOMPARE(total, int(6001LL * 1152 * 1000 / 44100));
    QString why;
    QVERIFY(!session.cutAt({1000, total}, &why));
    QVERIFY2(why.contains(u"past the end"_s), qPrintable(why));
    QCOMPARE(TrackList::instance()->count(), 1);
    QVERIFY(session.cutAt({60000, 1000, 1000}, &why));
    QCOMPARE(TrackList::instance()->count(), 3);
    QCOMPARE(TrackList::instance()->trackAt(2).end, total);
}

void tst_Session::silencesProposeTheirCuts()
{
    const QString path = m_dir.filePath(u"silent/Gaps.mp3"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"silent"_s)));
    QString error;
    QVERIFY2(SilentAlbum::make(path, true, {u"-V2"_s}, &error), qPrintable(error));
    Session session(&m_manager);
    QVERIFY(openAndWait(session, path));
    QSignalSpy found(&session, &Session::silencesFound);
    QVERIFY(session.findSilences(-50.0, 1.5));
    QVERIFY(session.isBusy());
    QVERIFY(!session.findSilences(-50.0, 1.5));
    QVERIFY(found.wait(20000));
    QCOMPARE(session.state(), Session::State::Ready);
    // Both gaps, in the index's time (a decoder's delay later than what plays), and a cut in
    // each; the quiet passage is louder than the threshold.
    const auto silences = session.silences();
    QCOMPARE(silences.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const SilentAlbum::Span gap = i == 0 ? SilentAlbum::firstGap : SilentAlbum::secondGap;
        QVERIFY2(qAbs(silences[i].first - gap.start * 1000) < 100
                     && qAbs(silences[i].second - gap.end * 1000) < 100,
                 qPrintable(u"%1-%2"_s.arg(silences[i].first).arg(silences[i].second)));
    }
    const QList<int> cuts = found.first().first().value<QList<int>>();
    QCOMPARE(cuts.size(), 2);
    QVERIFY(session.cutAt(cuts));
    QCOMPARE(TrackList::instance()->count(), 3);
}

void tst_Session::undoAndRedoRestoreTheExactList_data()
{
    QTest::addColumn<int>("act");
    QTest::newRow("add") << 0;
    QTest::newRow("remove") << 1;
    QTest::newRow("one drag of three steps") << 2;
    QTest::newRow("rename") << 3;
    QTest::newRow("untick") << 4;
    QTest::newRow("untick every row at once") << 5;
    QTest::newRow("a disc replaces the list") << 6;
}

void tst_Session::undoAndRedoRestoreTheExactList()
{
    QFETCH(int, act);
    Session session(&m_manager);
    QVERIFY(openAndWait(session, albumIn(u"undo"_s, u"Album.mp3"_s, {u"Album.cue"_s})));
    TrackList *list = TrackList::instance();
    const TrackContainer before = list->allTracks();
    QCOMPARE(before.size(), 3);
    // Opening is no step to undo.
    QVERIFY(!session.canUndo());

    switch (act) {
    case 0:
        QVERIFY(list->addTrack(Track{u"New"_s, u"Band"_s, 0, 20000, 30000}));
        break;
    case 1:
        list->removeTrack(1);
        break;
    case 2:
        for (int ms : {41000, 42000, 43000})
            QVERIFY(list->moveBoundary(1, ms));
        break;
    case 3:
        QVERIFY(list->addTrack(Track{u"Renamed"_s, u"Band"_s, 0, before[1].start, before[1].end}));
        break;
    case 4:
        list->setTicked(2, false);
        break;
    case 5:
        for (int i = 0; i < list->count(); ++i)
            list->setTicked(i, false);
        break;
    case 6:
        session.replaceTracks(
            {Track{u"A"_s, u"B"_s, 1, 0, 1000}, Track{u"C"_s, u"B"_s, 2, 1000, 2000}});
        break;
    }
    const TrackContainer after = list->allTracks();
    QVERIFY(after != before);
    QVERIFY(session.canUndo());
    session.undo();
    QCOMPARE(list->allTracks(), before);
    QVERIFY(!session.canUndo());
    QVERIFY(session.canRedo());
    session.redo();
    QCOMPARE(list->allTracks(), after);
    QVERIFY(!session.canRedo());
}

QTEST_GUILESS_MAIN(tst_Session)
#include "tst_session.moc"
