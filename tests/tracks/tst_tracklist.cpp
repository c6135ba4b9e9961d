#include "tracks/trackcalculaterlistener.h"
#include "tracks/tracklist.h"
#include "tracks/tracksupdatelistener.h"

#include <QMetaType>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct FixedLength final : TrackCalculaterListener
{
    int length = 60000;
    int totalLength() const override { return length; }
};

// Records each call with the list's size at that moment, so the order of the
// listener calls and the state they see are both checked.
struct CallRecorder final : TracksUpdateListener
{
    QStringList calls;
    void tracksRemoved(int first, int last) override { record(u"removed"_s, first, last); }
    void tracksInserted(int first, int last) override { record(u"inserted"_s, first, last); }
    void tracksChanged(int first, int last) override { record(u"changed"_s, first, last); }
    void record(const QString &what, int first, int last)
    {
        calls << u"%1 %2-%3 of %4"_s.arg(what).arg(first).arg(last).arg(
            TrackList::instance()->count());
    }
};

// Spans as "start-end" in list order; numbers are checked separately.
using Spans = QList<QPair<int, int>>;

Spans spansOf(const TrackList *list)
{
    Spans spans;
    for (int i = 0; i < list->count(); ++i)
        spans.append({list->trackAt(i).start, list->trackAt(i).end});
    return spans;
}

TrackContainer tracksFrom(const Spans &spans)
{
    TrackContainer tracks;
    int number = 0;
    for (const auto &[start, end] : spans) {
        ++number;
        tracks.append(Track{u"T%1"_s.arg(number), u"A%1"_s.arg(number), number, start, end});
    }
    return tracks;
}

Track userTrack(int start, int end)
{
    return Track{u"New title"_s, u"New artist"_s, 0, start, end};
}

} // namespace

class tst_TrackList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trackContainerKnownByItsName();
    void outOfRangeIndexGivesEmptyTrack_data();
    void outOfRangeIndexGivesEmptyTrack();
    void setTracksStretchesLastTrackToFileEnd();
    void setTracksReportsOldRowsGoneThenNewRows();
    void addToEmptyListFillsFileAroundTrack_data();
    void addToEmptyListFillsFileAroundTrack();
    void addWithSameTimesOnlyRenames();
    void addOverlappingTrimsNeighbours_data();
    void addOverlappingTrimsNeighbours();
    void addInGapIsNotDropped_data();
    void addInGapIsNotDropped();
    void addRenumbersAndReportsWholeList();
    void addReversedRangeIsRefused_data();
    void addReversedRangeIsRefused();
    void addWithoutCalculaterDoesNotCrash();
    void removeTrackGivesTimeToNeighbourUnlessLastOrBad_data();
    void removeTrackGivesTimeToNeighbourUnlessLastOrBad();
    void moveBoundaryKeepsMoreThanASecond_data();
    void moveBoundaryKeepsMoreThanASecond();
    void editMovesBoundariesNotSplits_data();
    void editMovesBoundariesNotSplits();

private:
    FixedLength length;
    CallRecorder recorder;
};

void tst_TrackList::init()
{
    TrackList *list = TrackList::instance();
    list->setUpdateListener(nullptr);
    list->setCalculater(&length);
    length.length = 60000;
    list->setSourcePath(u"/music/Live at Home.mp3"_s);
    list->setTracks({});
    recorder.calls.clear();
    list->setUpdateListener(&recorder);
}

void tst_TrackList::cleanup()
{
    TrackList::instance()->setUpdateListener(nullptr);
    TrackList::instance()->setCalculater(nullptr);
}

void tst_TrackList::trackContainerKnownByItsName()
{
    TrackList::instance();
    const QMetaType byName = QMetaType::fromName("TrackContainer");
    QVERIFY(byName.isValid());
    QCOMPARE(byName, QMetaType::fromType<TrackContainer>());
}

void tst_TrackList::outOfRangeIndexGivesEmptyTrack_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("one past the end") << 2;
    QTest::newRow("far past the end") << 1000;
    QTest::newRow("negative") << -1;
}

void tst_TrackList::outOfRangeIndexGivesEmptyTrack()
{
    QFETCH(int, index);
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 5000}, {5000, 9000}}));
    QCOMPARE(list->trackAt(index), Track());
    QCOMPARE(list->startOf(index), 0);
    QCOMPARE(list->startOf(1), 5000);
}

void tst_TrackList::setTracksStretchesLastTrackToFileEnd()
{
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 5000}, {5000, 9000}}));
    QCOMPARE(spansOf(list), (Spans{{0, 5000}, {5000, 60000}}));
    QCOMPARE(list->trackAt(1).title, u"T2"_s);
    QCOMPARE(list->trackAt(1).number, 2);
}

void tst_TrackList::setTracksReportsOldRowsGoneThenNewRows()
{
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 5000}, {5000, 9000}}));
    list->setTracks(tracksFrom({{0, 1000}, {1000, 2000}, {2000, 3000}}));
    QCOMPARE(recorder.calls,
             (QStringList{u"inserted 0-1 of 2"_s, u"removed 0-1 of 2"_s, u"inserted 0-2 of 3"_s}));
    list->setTracks({});
    QCOMPARE(recorder.calls.last(), u"removed 0-2 of 3"_s);
    QCOMPARE(list->count(), 0);
}

void tst_TrackList::addToEmptyListFillsFileAroundTrack_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<Spans>("spans");
    QTest::addColumn<int>("userRow");
    QTest::newRow("inside the file")
        << 10000 << 20000 << Spans{{0, 10000}, {10000, 20000}, {20000, 60000}} << 1;
    QTest::newRow("from the start") << 0 << 20000 << Spans{{0, 20000}, {20000, 60000}} << 0;
    QTest::newRow("to the end") << 10000 << 60000 << Spans{{0, 10000}, {10000, 60000}} << 1;
    QTest::newRow("whole file") << 0 << 60000 << Spans{{0, 60000}} << 0;
    QTest::newRow("past the end makes no negative track")
        << 10000 << 70000 << Spans{{0, 10000}, {10000, 70000}} << 1;
}

void tst_TrackList::addToEmptyListFillsFileAroundTrack()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(Spans, spans);
    QFETCH(int, userRow);
    TrackList *list = TrackList::instance();
    QVERIFY(list->addTrack(userTrack(start, end)));
    QCOMPARE(spansOf(list), spans);
    for (int i = 0; i < list->count(); ++i) {
        const Track track = list->trackAt(i);
        QCOMPARE(track.number, i + 1);
        const QString name = i == userRow ? u"New title"_s : u"Live at Home"_s;
        const QString artist = i == userRow ? u"New artist"_s : u"Live at Home"_s;
        QCOMPARE(track.title, name);
        QCOMPARE(track.artist, artist);
    }
    QCOMPARE(recorder.calls,
             QStringList{u"inserted 0-%1 of %2"_s.arg(spans.size() - 1).arg(spans.size())});
}

void tst_TrackList::addWithSameTimesOnlyRenames()
{
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 5000}, {5000, 9000}, {9000, 20000}}));
    recorder.calls.clear();
    QVERIFY(list->addTrack(userTrack(5000, 9000)));
    QCOMPARE(recorder.calls, QStringList{u"changed 1-1 of 3"_s});
    QCOMPARE(spansOf(list), (Spans{{0, 5000}, {5000, 9000}, {9000, 60000}}));
    const Track renamed = list->trackAt(1);
    QCOMPARE(renamed.title, u"New title"_s);
    QCOMPARE(renamed.artist, u"New artist"_s);
    QCOMPARE(renamed.number, 2);
    QCOMPARE(list->trackAt(0).title, u"T1"_s);
    QCOMPARE(list->trackAt(2).title, u"T3"_s);
}

void tst_TrackList::addOverlappingTrimsNeighbours_data()
{
    QTest::addColumn<Spans>("before");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<Spans>("after");
    // The last span of "before" is stretched to the file's 60000 ms by setTracks.
    QTest::newRow("same start replaces, no duplicate")
        << Spans{{0, 10000}, {10000, 20000}, {20000, 60000}} << 10000 << 15000
        << Spans{{0, 10000}, {10000, 15000}, {20000, 60000}};
    QTest::newRow("inside one track leaves a gap after it")
        << Spans{{0, 60000}} << 10000 << 20000 << Spans{{0, 10000}, {10000, 20000}};
    QTest::newRow("across a boundary trims both")
        << Spans{{0, 10000}, {10000, 60000}} << 5000 << 15000
        << Spans{{0, 5000}, {5000, 15000}, {15000, 60000}};
    QTest::newRow("covering a whole track drops it")
        << Spans{{0, 10000}, {10000, 20000}, {20000, 60000}} << 5000 << 25000
        << Spans{{0, 5000}, {5000, 25000}, {25000, 60000}};
    QTest::newRow("ending on a later start keeps that track")
        << Spans{{0, 10000}, {10000, 60000}} << 5000 << 10000
        << Spans{{0, 5000}, {5000, 10000}, {10000, 60000}};
    QTest::newRow("same start longer swallows the next")
        << Spans{{0, 10000}, {10000, 20000}, {20000, 60000}} << 10000 << 30000
        << Spans{{0, 10000}, {10000, 30000}, {30000, 60000}};
}

void tst_TrackList::addOverlappingTrimsNeighbours()
{
    QFETCH(Spans, before);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(Spans, after);
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom(before));
    QVERIFY(list->addTrack(userTrack(start, end)));
    QCOMPARE(spansOf(list), after);
    int users = 0;
    for (int i = 0; i < list->count(); ++i)
        users += list->trackAt(i).title == u"New title"_s ? 1 : 0;
    QCOMPARE(users, 1);
}

void tst_TrackList::addInGapIsNotDropped_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<Spans>("after");
    QTest::addColumn<int>("userRow");
    // The list holds [0, 10000], [10000, 20000] and nothing after 20000 (see below).
    QTest::newRow("after the last track")
        << 30000 << 40000 << Spans{{0, 10000}, {10000, 20000}, {30000, 40000}} << 2;
    QTest::newRow("right after the last track")
        << 20000 << 25000 << Spans{{0, 10000}, {10000, 20000}, {20000, 25000}} << 2;
}

void tst_TrackList::addInGapIsNotDropped()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(Spans, after);
    QFETCH(int, userRow);
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 60000}}));
    list->addTrack(Track{u"Inner"_s, u"Inner"_s, 0, 10000, 20000});
    QCOMPARE(spansOf(list), (Spans{{0, 10000}, {10000, 20000}}));

    QVERIFY(list->addTrack(userTrack(start, end)));
    QCOMPARE(spansOf(list), after);
    QCOMPARE(list->trackAt(userRow).title, u"New title"_s);
    QCOMPARE(list->trackAt(userRow).number, userRow + 1);
}

void tst_TrackList::addRenumbersAndReportsWholeList()
{
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 10000}, {10000, 60000}}));
    recorder.calls.clear();
    list->addTrack(userTrack(5000, 15000));
    QCOMPARE(recorder.calls, (QStringList{u"removed 0-1 of 2"_s, u"inserted 0-2 of 3"_s}));
    for (int i = 0; i < list->count(); ++i)
        QCOMPARE(list->trackAt(i).number, i + 1);
}

void tst_TrackList::addReversedRangeIsRefused_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("end before start") << 20000 << 10000;
    QTest::newRow("empty") << 10000 << 10000;
    QTest::newRow("negative start") << -5000 << 10000;
}

void tst_TrackList::addReversedRangeIsRefused()
{
    QFETCH(int, start);
    QFETCH(int, end);
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom({{0, 30000}, {30000, 60000}}));
    recorder.calls.clear();
    QVERIFY(!list->addTrack(userTrack(start, end)));
    QCOMPARE(spansOf(list), (Spans{{0, 30000}, {30000, 60000}}));
    QVERIFY(recorder.calls.isEmpty());
}

void tst_TrackList::addWithoutCalculaterDoesNotCrash()
{
    TrackList *list = TrackList::instance();
    list->setCalculater(nullptr);
    QVERIFY(list->addTrack(userTrack(10000, 20000)));
    QCOMPARE(spansOf(list), (Spans{{0, 10000}, {10000, 20000}}));
    list->setTracks(tracksFrom({{0, 5000}, {5000, 9000}}));
    QCOMPARE(spansOf(list), (Spans{{0, 5000}, {5000, 9000}}));
}

void tst_TrackList::removeTrackGivesTimeToNeighbourUnlessLastOrBad_data()
{
    QTest::addColumn<Spans>("before");
    QTest::addColumn<int>("index");
    QTest::addColumn<Spans>("after");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("first goes to the next")
        << Spans{{0, 5000}, {5000, 60000}} << 0 << Spans{{0, 60000}}
        << QStringList{u"removed 0-0 of 1"_s, u"changed 0-0 of 1"_s};
    QTest::newRow("last goes to the previous")
        << Spans{{0, 5000}, {5000, 60000}} << 1 << Spans{{0, 60000}}
        << QStringList{u"removed 1-1 of 1"_s, u"changed 0-0 of 1"_s};
    QTest::newRow("middle goes to the previous")
        << Spans{{0, 5000}, {5000, 9000}, {9000, 60000}} << 1 << Spans{{0, 9000}, {9000, 60000}}
        << QStringList{u"removed 1-1 of 2"_s, u"changed 0-1 of 2"_s}; // the last is renumbered
    QTest::newRow("only track is kept")
        << Spans{{0, 60000}} << 0 << Spans{{0, 60000}} << QStringList{};
    QTest::newRow("past the end ignored")
        << Spans{{0, 5000}, {5000, 60000}} << 2 << Spans{{0, 5000}, {5000, 60000}} << QStringList{};
    QTest::newRow("negative ignored") << Spans{{0, 5000}, {5000, 60000}} << -1
                                      << Spans{{0, 5000}, {5000, 60000}} << QStringList{};
}

void tst_TrackList::removeTrackGivesTimeToNeighbourUnlessLastOrBad()
{
    QFETCH(Spans, before);
    QFETCH(int, index);
    QFETCH(Spans, after);
    QFETCH(QStringList, calls);
    TrackList *list = TrackList::instance();
    list->setTracks(tracksFrom(before));
    recorder.calls.clear();
    list->removeTrack(index);
    QCOMPARE(spansOf(list), after);
    QCOMPARE(recorder.calls, calls);
    for (int i = 0; i < list->count(); ++i)
        QCOMPARE(list->trackAt(i).number, i + 1);
}

void tst_TrackList::moveBoundaryKeepsMoreThanASecond_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("moved");
    QTest::newRow("leaves the first exactly a second") << 1 << 1000 << false;
    QTest::newRow("leaves the first just over a second") << 1 << 1001 << true;
    QTest::newRow("leaves the second exactly a second") << 1 << 19000 << false;
    QTest::newRow("leaves the second just over a second") << 1 << 18999 << true;
    QTest::newRow("first track has no boundary before it") << 0 << 5000 << false;
    QTest::newRow("index past the end") << 3 << 25000 << false;
    QTest::newRow("negative index") << -1 << 5000 << false;
}

void tst_TrackList::moveBoundaryKeepsMoreThanASecond()
{
    QFETCH(int, index);
    QFETCH(int, ms);
    QFETCH(bool, moved);
    TrackList *list = TrackList::instance();
    length.length = 30000;
    list->setTracks(tracksFrom({{0, 10000}, {10000, 20000}, {20000, 30000}}));
    recorder.calls.clear();
    QCOMPARE(list->moveBoundary(index, ms), moved);
    if (moved) {
        QCOMPARE(spansOf(list), (Spans{{0, ms}, {ms, 20000}, {20000, 30000}}));
        QCOMPARE(recorder.calls, QStringList{u"changed 0-1 of 3"_s});
    } else {
        QCOMPARE(spansOf(list), (Spans{{0, 10000}, {10000, 20000}, {20000, 30000}}));
        QVERIFY(recorder.calls.isEmpty());
    }
}

void tst_TrackList::editMovesBoundariesNotSplits_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<Spans>("after"); // empty: refused, nothing changes
    QTest::addColumn<QString>("why");
    const Spans three{{0, 10000}, {10000, 20000}, {20000, 30000}};
    QTest::newRow("title only renames") << 1 << 10000 << 20000 << three << QString();
    QTest::newRow("later start, previous follows")
        << 1 << 12000 << 20000 << Spans{{0, 12000}, {12000, 20000}, {20000, 30000}} << QString();
    QTest::newRow("earlier end, next follows")
        << 1 << 10000 << 15000 << Spans{{0, 10000}, {10000, 15000}, {15000, 30000}} << QString();
    QTest::newRow("both ends move")
        << 1 << 5000 << 25000 << Spans{{0, 5000}, {5000, 25000}, {25000, 30000}} << QString();
    QTest::newRow("previous left just over a second")
        << 1 << 1001 << 20000 << Spans{{0, 1001}, {1001, 20000}, {20000, 30000}} << QString();
    QTest::newRow("previous left exactly a second")
        << 1 << 1000 << 20000 << Spans{} << u"after 00:01.00"_s;
    QTest::newRow("next left exactly a second")
        << 1 << 10000 << 29000 << Spans{} << u"before 00:29.00"_s;
    QTest::newRow("start past the file's end")
        << 1 << 40000 << 20000 << Spans{} << u"more than a second"_s;
    QTest::newRow("start after end") << 1 << 15000 << 12000 << Spans{} << u"more than a second"_s;
    QTest::newRow("track left exactly a second")
        << 1 << 10000 << 11000 << Spans{} << u"more than a second"_s;
    QTest::newRow("first track's start") << 0 << 2000 << 10000 << Spans{} << u"first track"_s;
    QTest::newRow("last track's end") << 2 << 20000 << 29000 << Spans{} << u"last track"_s;
    QTest::newRow("no such track") << 3 << 0 << 5000 << Spans{} << u"no track 4"_s;
}

void tst_TrackList::editMovesBoundariesNotSplits()
{
    QFETCH(int, index);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(Spans, after);
    QFETCH(QString, why);
    TrackList *list = TrackList::instance();
    length.length = 30000;
    const TrackContainer before = tracksFrom({{0, 10000}, {10000, 20000}, {20000, 30000}});
    list->setTracks(before);
    recorder.calls.clear();
    QString reason;
    const Track changed{u"Edited"_s, u"Someone"_s, 0, start, end};
    QCOMPARE(list->editTrack(index, changed, &reason), !after.isEmpty());
    if (after.isEmpty()) {
        QCOMPARE(list->allTracks(), before);
        QVERIFY2(reason.contains(why), qPrintable(reason));
        QVERIFY(recorder.calls.isEmpty());
        return;
    }
    QCOMPARE(spansOf(list), after);
    QCOMPARE(list->trackAt(index).title, u"Edited"_s);
    QCOMPARE(list->trackAt(index).artist, u"Someone"_s);
    QCOMPARE(list->trackAt(index).number, index + 1);
    QCOMPARE(recorder.calls.size(), 1);
}

QTEST_GUILESS_MAIN(tst_TrackList)
#include "tst_tracklist.moc"
