#include "guiwarnings.h"
#include "tracks/tracklist.h"
#include "waveform/markerwidget.h"
#include "waveform/waveformwidget.h"
#include "waveformfixture.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// 3000 entries at 44100 Hz open at level 2: half a pixel per entry, 52 ms per pixel, 1500
// columns in an 800-pixel view. Boundaries at 10, 20 and 30 s lie at x 191, 383 and 574.
class TestMarkerWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hoverPlacesOnBoundary_data();
    void hoverPlacesOnBoundary();
    void hidesWhenBoundaryMovesAway_data();
    void hidesWhenBoundaryMovesAway();
    void dragKeepsSecondToNeighbours_data();
    void dragKeepsSecondToNeighbours();
    void menuReachesTrackList_data();
    void menuReachesTrackList();

private:
    // Drags the marker from its place to x (view coordinates) in steps of 3 pixels.
    void dragTo(int x);

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    WaveformWidget *m_view = nullptr;
    MarkerWidget *m_marker = nullptr;
};

void TestMarkerWidget::init()
{
    failOnWarningsButPlatformNotes();
    QVERIFY(m_dir.isValid());
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(10, 30, 10, 10);
    m_view = new WaveformWidget(m_window.get());
    layout->addWidget(m_view);
    m_marker = new MarkerWidget(m_window.get());
    m_marker->setWaveform(m_view);
    m_window->resize(820, 240);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_view->width(), 800);
    // Qt drops a move to where the pointer already is; every test starts from elsewhere.
    QTest::mouseMove(m_window.get(), QPoint(2, 2));
    m_view->setFrameIndex(indexOfGains(m_dir.path(), 3000, wavyGain));
    // The file opens fitted at level 3; the pixel figures below are those of level 2.
    m_view->zoomIn();
    m_view->setScrollOffset(0);
    QCOMPARE(m_view->level(), 2);
    TrackList::instance()->setTracks({Track{u"One"_s, u"Band"_s, 1, 0, 10000},
                                      Track{u"Two"_s, u"Band"_s, 2, 10000, 20000},
                                      Track{u"Three"_s, u"Band"_s, 3, 20000, 30000},
                                      Track{u"Four"_s, u"Band"_s, 4, 30000, 60000}});
}

void TestMarkerWidget::cleanup()
{
    m_window.reset();
    TrackList::instance()->setTracks({});
}

void TestMarkerWidget::dragTo(int x)
{
    const auto inMarker = [this](int viewX) {
        const QPoint inWindow = m_view->mapTo(m_window.get(), QPoint(viewX, 100));
        return m_marker->mapFrom(m_window.get(), inWindow);
    };
    const int from = m_marker->positionInView().x() + m_marker->hotSpotX();
    QTest::mousePress(m_marker, Qt::LeftButton, {}, inMarker(from));
    const int step = x > from ? 3 : -3;
    for (int at = from + step; step > 0 ? at <= x : at >= x; at += step)
        QTest::mouseMove(m_marker, inMarker(at));
    QTest::mouseRelease(m_marker, Qt::LeftButton, {}, inMarker(x));
}

void TestMarkerWidget::hoverPlacesOnBoundary_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("track"); // -1 for hidden

    QTest::newRow("near a boundary") << 0 << QPoint(395, 100) << true << 2;
    QTest::newRow("left of a boundary") << 0 << QPoint(170, 60) << true << 1;
    QTest::newRow("between boundaries") << 0 << QPoint(480, 100) << true << -1;
    QTest::newRow("scrolled") << 300 << QPoint(280, 100) << true << 3;
    QTest::newRow("within a marker of the left edge") << 150 << QPoint(50, 100) << true << -1;
    QTest::newRow("within a marker of the top") << 0 << QPoint(383, 19) << true << -1;
    QTest::newRow("within a marker of the bottom") << 0 << QPoint(383, 181) << true << -1;
    QTest::newRow("start of the first track") << 0 << QPoint(56, 100) << true << -1;
    QTest::newRow("view disabled while reading") << 0 << QPoint(395, 100) << false << -1;
}

void TestMarkerWidget::hoverPlacesOnBoundary()
{
    QFETCH(int, offset);
    QFETCH(QPoint, pointer);
    QFETCH(bool, enabled);
    QFETCH(int, track);

    m_view->setScrollOffset(offset);
    QTest::mouseMove(m_view, QPoint(400, 100));
    m_view->setEnabled(enabled);
    QSignalSpy hovered(m_view, &WaveformWidget::boundaryHovered);
    QTest::mouseMove(m_view, pointer);
    QCOMPARE(m_marker->isVisible(), track >= 0);
    // The window highlights the rows of the boundary the view reports.
    QCOMPARE(m_view->hoveredBoundary(), track);
    if (!hovered.isEmpty())
        QCOMPARE(hovered.last().at(0).toInt(), track);
    if (track < 0)
        return;
    QCOMPARE(m_marker->trackIndex(), track);
    // A child floating over the window, not a window Wayland would not let us place.
    QCOMPARE(m_marker->parentWidget(), m_window.get());
    QVERIFY(!m_marker->isWindow());
    QCOMPARE(m_marker->size(), QSize(56, 20));
    // The hot spot lies on the boundary line at the pointer's height.
    const QPoint hotSpot = m_marker->positionInView() + QPoint(28, 10);
    QCOMPARE(
        hotSpot,
        QPoint(m_view->pixelAtTime(TrackList::instance()->startOf(track)) - offset, pointer.y()));
}

void TestMarkerWidget::hidesWhenBoundaryMovesAway_data()
{
    QTest::addColumn<int>("action");

    QTest::newRow("zoom") << 0;
    QTest::newRow("scroll") << 1;
    QTest::newRow("resize") << 2;
}

void TestMarkerWidget::hidesWhenBoundaryMovesAway()
{
    QFETCH(int, action);

    QTest::mouseMove(m_view, QPoint(395, 100));
    QVERIFY(m_marker->isVisible());
    switch (action) {
    case 0:
        m_view->zoomIn();
        break;
    case 1:
        m_view->scrollBy(40);
        break;
    case 2:
        m_window->resize(700, 240);
        break;
    }
    QVERIFY(!m_marker->isVisible());
}

void TestMarkerWidget::dragKeepsSecondToNeighbours_data()
{
    QTest::addColumn<int>("track");
    QTest::addColumn<int>("toX");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");
    QTest::addColumn<int>("scrolls");

    // One 3-pixel step is 157 ms: the boundary stops within a step of the limit.
    QTest::newRow("toward the next boundary") << 2 << 600 << 28800 << 28999 << 0;
    QTest::newRow("toward the previous boundary") << 2 << 150 << 11001 << 11200 << 0;
    QTest::newRow("free move") << 2 << 450 << 23300 << 23600 << 0;
    // The marker's left passes 743 when the pointer passes 771; from there each of the 8
    // moves scrolls the view by 4 pixels, the marker stays and the boundary follows.
    QTest::newRow("against the right edge") << 3 << 795 << 41700 << 41900 << 8;
}

void TestMarkerWidget::dragKeepsSecondToNeighbours()
{
    QFETCH(int, track);
    QFETCH(int, toX);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    QFETCH(int, scrolls);

    const TrackList *list = TrackList::instance();
    QTest::mouseMove(m_view, QPoint(m_view->pixelAtTime(list->startOf(track)) + 5, 100));
    QVERIFY(m_marker->isVisible());
    QCOMPARE(m_marker->trackIndex(), track);
    QSignalSpy scrolled(m_view, &WaveformWidget::scrolled);
    dragTo(toX);

    const int start = list->startOf(track);
    QVERIFY2(start >= lowest && start <= highest, qPrintable(QString::number(start)));
    QCOMPARE(list->trackAt(track - 1).end, start);
    QCOMPARE(list->count(), 4);
    QCOMPARE(scrolled.count(), scrolls);
    QCOMPARE(m_view->scrollOffset(), 4 * scrolls);
    QVERIFY(!m_marker->isDragging());
}

void TestMarkerWidget::menuReachesTrackList_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("replaced"); // a sheet replaces the list while the menu is open
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("titleOfRow2");
    QTest::addColumn<int>("endOfRow1");
    QTest::addColumn<QList<int>>("playedAround");

    QTest::newRow("delete") << u"Delete"_s << false << 3 << u"Four"_s << 30000 << QList<int>{};
    QTest::newRow("edit") << u"Edit"_s << false << 4 << u"Renamed"_s << 20000 << QList<int>{};
    QTest::newRow("play around the boundary")
        << u"Play around"_s << false << 4 << u"Three"_s << 20000 << QList<int>{20000};
    QTest::newRow("delete after the list was replaced")
        << u"Delete"_s << true << 4 << u"New three"_s << 20000 << QList<int>{};
    QTest::newRow("edit after the list was replaced")
        << u"Edit"_s << true << 4 << u"New three"_s << 20000 << QList<int>{};
    QTest::newRow("play around after the list was replaced")
        << u"Play around"_s << true << 4 << u"New three"_s << 20000 << QList<int>{};
}

void TestMarkerWidget::menuReachesTrackList()
{
    QFETCH(QString, action);
    QFETCH(bool, replaced);
    QFETCH(int, count);
    QFETCH(QString, titleOfRow2);
    QFETCH(int, endOfRow1);
    QFETCH(QList<int>, playedAround);

    QTest::mouseMove(m_view, QPoint(390, 100));
    QCOMPARE(m_marker->trackIndex(), 2);
    QVERIFY(m_marker->contextMenu()->actions()
            == (QList<QAction *>{m_marker->editAction(), m_marker->deleteAction(),
                                 m_marker->playAroundAction()}));
    QCOMPARE(m_marker->editAction()->text(), u"Edit"_s);
    QCOMPARE(m_marker->deleteAction()->text(), u"Delete"_s);
    QCOMPARE(m_marker->playAroundAction()->text(), u"Play around"_s);
    QTest::mousePress(m_marker, Qt::RightButton);
    QTRY_VERIFY(m_marker->contextMenu()->isVisible());
    QTest::mouseRelease(m_marker->contextMenu(), Qt::RightButton, {}, QPoint(-5, -5));
    if (replaced) {
        TrackContainer other = TrackList::instance()->allTracks();
        other[2].title = u"New three"_s;
        TrackList::instance()->setTracks(other);
    }

    QSignalSpy played(m_marker, &MarkerWidget::playAroundRequested);
    QAction *chosen = nullptr;
    for (QAction *entry : m_marker->contextMenu()->actions()) {
        if (entry->text() == action)
            chosen = entry;
    }
    QVERIFY(chosen);
    QString dialogTitle;
    QString shownTitle;
    const bool opened = answerDialog([&] { chosen->trigger(); },
                                     [&](TrackDataDialog *dialog) {
                                         dialogTitle = dialog->windowTitle();
                                         shownTitle = dialog->title();
                                         dialog->setTitle(u"Renamed"_s);
                                         dialog->accept();
                                     });

    m_marker->contextMenu()->hide(); // a click on an entry closes it
    const bool edit = action == u"Edit"_s;
    QCOMPARE(opened, edit && !replaced);
    if (action != u"Play around"_s)
        QVERIFY(!m_marker->isVisible());
    const TrackList *list = TrackList::instance();
    QCOMPARE(list->count(), count);
    QCOMPARE(list->trackAt(2).title, titleOfRow2);
    QCOMPARE(list->trackAt(1).end, endOfRow1);
    QList<int> requested;
    for (const QList<QVariant> &arguments : played)
        requested.append(arguments.first().toInt());
    QCOMPARE(requested, playedAround);
    if (edit && !replaced) {
        QCOMPARE(dialogTitle, u"Edit"_s);
        QCOMPARE(shownTitle, u"Three"_s);
    }
}

QTEST_MAIN(TestMarkerWidget)
#include "tst_markerwidget.moc"
