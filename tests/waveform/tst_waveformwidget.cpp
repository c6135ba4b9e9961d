#include "gainindex.h"
#include "guiwarnings.h"
#include "tracks/timetext.h"
#include "tracks/trackdatadialog.h"
#include "tracks/tracklist.h"
#include "waveform/slider.h"
#include "waveform/waveformwidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Start field and title of the first modal TrackDataDialog that appears while the returned
// timer runs; the dialog is rejected.
struct DialogSeen
{
    QString windowTitle;
    QString start;
};

class DialogWatcher
{
public:
    DialogWatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto *dialog = qobject_cast<TrackDataDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_timer.stop();
            seen = {dialog->windowTitle(), dialog->start()};
            shown = true;
            dialog->reject();
        });
        m_timer.start();
    }

    bool shown = false;
    DialogSeen seen;

private:
    QTimer m_timer;
};

enum Action { ZoomIn, ZoomOut, WheelAway, WheelToward };

void sendWheel(QWidget *widget, int delta)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

} // namespace

class TestWaveformWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void levelsFollowEntryCount_data();
    void levelsFollowEntryCount();
    void normalisationStaysDefined_data();
    void normalisationStaysDefined();
    void rulerStepAt44100_data();
    void rulerStepAt44100();
    void zoomKeepsCentreColumn_data();
    void zoomKeepsCentreColumn();
    void zoomOutAtEndShowsNoBlank();
    void scrollStaysInsideLevel();
    void clickOffersTrackDragOnlyScrolls();
    void boundariesDrawnYellowButFirstStart();
    void sliderFollowsView();

private:
    void show(std::unique_ptr<CheapMP3> index);

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    WaveformWidget *m_view = nullptr;
};

void TestWaveformWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestWaveformWidget::init()
{
    failOnWarningsButPlatformNotes();
    TrackList::instance()->setTracks({});
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new WaveformWidget(m_window.get());
    layout->addWidget(m_view);
    m_window->resize(800, 200);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestWaveformWidget::cleanup()
{
    m_window.reset();
    TrackList::instance()->setTracks({});
}

void TestWaveformWidget::show(std::unique_ptr<CheapMP3> index)
{
    m_view->setFrameIndex(std::move(index));
    m_view->repaint();
}

void TestWaveformWidget::levelsFollowEntryCount_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("totalLength");

    QTest::newRow("empty") << 0 << 0 << 0 << 0;
    QTest::newRow("1 entry") << 1 << 0 << 2 << 26;
    QTest::newRow("300 entries") << 300 << 0 << 600 << 7837;
    QTest::newRow("301 entries") << 301 << 1 << 301 << 7863;
    // 5001 entries halve to 2500 and 1250 columns: the odd entry is lost at coarse levels.
    QTest::newRow("5001 entries") << 5001 << 3 << 1250 << 130612;
}

void TestWaveformWidget::levelsFollowEntryCount()
{
    QFETCH(int, entries);
    QFETCH(int, level);
    QFETCH(int, width);
    QFETCH(int, totalLength);

    show(indexOfGains(m_dir.path(), entries, wavyGain));
    QVERIFY(m_view->frameIndex());
    QCOMPARE(m_view->level(), level);
    QCOMPARE(m_view->totalWidth(), width);
    QCOMPARE(m_view->levelWidth(0), 2 * entries);
    QCOMPARE(m_view->levelWidth(4), entries / 8);
    QCOMPARE(m_view->totalLength(), totalLength);
    QCOMPARE(m_view->scrollOffset(), 0);
}

void TestWaveformWidget::normalisationStaysDefined_data()
{
    QTest::addColumn<QList<int>>("gains");
    QTest::addColumn<int>("entry");
    QTest::addColumn<float>("minimum");
    QTest::addColumn<float>("maximum");

    QTest::newRow("short silent file, high equals low") << QList<int>(10, 0) << 5 << 0.0f << 0.0f;
    QTest::newRow("constant gain has no outline") << QList<int>(400, 200) << 200 << 0.0f << 0.0f;
    QList<int> ramp;
    for (int i = 0; i < 1000; ++i)
        ramp << i * 255 / 999;
    QTest::newRow("ramp, quietest 5 % sink") << ramp << 20 << 0.0f << 0.0f;
    QTest::newRow("ramp, middle") << ramp << 500 << 0.1f << 0.5f;
    QTest::newRow("ramp, loudest 1 % saturate") << ramp << 995 << 1.0f << 1.0f;
    QTest::newRow("one entry") << QList<int>{90} << 0 << 0.0f << 1.0f;
    QTest::newRow("two entries") << QList<int>{0, 255} << 1 << 0.0f << 1.0f;
}

void TestWaveformWidget::normalisationStaysDefined()
{
    QFETCH(QList<int>, gains);
    QFETCH(int, entry);
    QFETCH(float, minimum);
    QFETCH(float, maximum);

    show(indexOfGains(m_dir.path(), gains));
    QCOMPARE(m_view->frameIndex()->frameCount(), gains.size());
    const float value = m_view->levelValue(1, entry);
    QVERIFY2(value >= minimum && value <= maximum, qPrintable(QString::number(value)));
    for (int z = 0; z < WaveformWidget::LevelCount; ++z) {
        for (int j = 0; j < m_view->levelWidth(z); ++j) {
            const float v = m_view->levelValue(z, j);
            QVERIFY2(v >= 0.0f && v <= 1.0f, qPrintable(u"level %1 column %2: %3"_s.arg(z).arg(j).arg(v)));
        }
    }
}

void TestWaveformWidget::rulerStepAt44100_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("pixelsPerSecond");
    QTest::addColumn<int>("step");

    QTest::newRow("level 0") << 0 << 76.6 << 1;
    QTest::newRow("level 1") << 1 << 38.3 << 5;
    QTest::newRow("level 2") << 2 << 19.1 << 5;
    QTest::newRow("level 3") << 3 << 9.6 << 15;
    QTest::newRow("level 4") << 4 << 4.8 << 15;
}

void TestWaveformWidget::rulerStepAt44100()
{
    QFETCH(int, level);
    QFETCH(double, pixelsPerSecond);
    QFETCH(int, step);

    show(indexOfGains(m_dir.path(), 6000, wavyGain));
    QCOMPARE(m_view->frameIndex()->sampleRate(), 44100);
    while (m_view->level() > level)
        m_view->zoomIn();
    while (m_view->level() < level)
        m_view->zoomOut();
    QCOMPARE(m_view->level(), level);
    QCOMPARE(qRound(10.0 / m_view->secondsPerPixel()) / 10.0, pixelsPerSecond);
    QCOMPARE(m_view->rulerStep(), step);
}

void TestWaveformWidget::zoomKeepsCentreColumn_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("expectedLevel");

    QTest::newRow("in") << 3 << 700 << int(ZoomIn) << 2;
    QTest::newRow("out") << 1 << 3000 << int(ZoomOut) << 2;
    QTest::newRow("wheel away from the user zooms in") << 2 << 1000 << int(WheelAway) << 1;
    QTest::newRow("wheel toward the user zooms out") << 1 << 2000 << int(WheelToward) << 2;
    QTest::newRow("in at level 0") << 0 << 500 << int(ZoomIn) << 0;
    QTest::newRow("out at level 4") << 4 << 100 << int(ZoomOut) << 4;
}

void TestWaveformWidget::zoomKeepsCentreColumn()
{
    QFETCH(int, level);
    QFETCH(int, offset);
    QFETCH(int, action);
    QFETCH(int, expectedLevel);

    show(indexOfGains(m_dir.path(), 8000, wavyGain));
    while (m_view->level() > level)
        m_view->zoomIn();
    while (m_view->level() < level)
        m_view->zoomOut();
    m_view->setScrollOffset(offset);
    QCOMPARE(m_view->scrollOffset(), offset);
    const int centre = m_view->viewWidth() / 2;
    const int before = m_view->timeAtPixel(offset + centre);
    const int coarseColumn = std::max(m_view->timeAtPixel(1), 1);
    QSignalSpy scrolled(m_view, &WaveformWidget::scrolled);

    switch (action) {
    case ZoomIn: m_view->zoomIn(); break;
    case ZoomOut: m_view->zoomOut(); break;
    case WheelAway: sendWheel(m_view, 120); break;
    case WheelToward: sendWheel(m_view, -120); break;
    }

    QCOMPARE(m_view->level(), expectedLevel);
    QCOMPARE(scrolled.count(), 0);
    if (expectedLevel == level) {
        QCOMPARE(m_view->scrollOffset(), offset);
        return;
    }
    const int after = m_view->timeAtPixel(m_view->scrollOffset() + centre);
    QVERIFY2(std::abs(after - before) <= 2 * std::max(coarseColumn, m_view->timeAtPixel(1)),
             qPrintable(u"centre was %1 ms, is %2 ms"_s.arg(before).arg(after)));
}

void TestWaveformWidget::zoomOutAtEndShowsNoBlank()
{
    // Level 3 of 8000 entries is 2000 columns; level 4 is 1000, only 200 past the view.
    show(indexOfGains(m_dir.path(), 8000, wavyGain));
    m_view->setScrollOffset(m_view->maximumScrollOffset());
    m_view->zoomOut();
    QVERIFY(m_view->scrollOffset() <= std::max(0, m_view->maximumScrollOffset()));
}

void TestWaveformWidget::scrollStaysInsideLevel()
{
    // 300 entries draw 600 columns in an 800-pixel view: nothing to scroll.
    show(indexOfGains(m_dir.path(), 300, wavyGain));
    QCOMPARE(m_view->maximumScrollOffset(), -200);
    m_view->scrollBy(50);
    QCOMPARE(m_view->scrollOffset(), 0);

    show(indexOfGains(m_dir.path(), 2000, wavyGain));
    QSignalSpy scrolled(m_view, &WaveformWidget::scrolled);
    m_view->setScrollOffset(-10);
    QCOMPARE(m_view->scrollOffset(), 0);
    m_view->setScrollOffset(100000);
    QCOMPARE(m_view->scrollOffset(), m_view->maximumScrollOffset());
    QCOMPARE(scrolled.count(), 0);
    m_view->scrollBy(-30);
    QCOMPARE(m_view->scrollOffset(), m_view->maximumScrollOffset() - 30);
    QCOMPARE(scrolled.count(), 1);
}

void TestWaveformWidget::clickOffersTrackDragOnlyScrolls()
{
    show(indexOfGains(m_dir.path(), 3000, wavyGain));
    m_view->setScrollOffset(50);

    {
        DialogWatcher watcher;
        QTest::mouseClick(m_view, Qt::LeftButton, {}, QPoint(300, 100));
        QVERIFY(watcher.shown);
        QCOMPARE(watcher.seen.windowTitle, u"Add"_s);
        QCOMPARE(watcher.seen.start, TimeText::format(m_view->timeAtPixel(350)));
    }

    DialogWatcher watcher;
    QTest::mousePress(m_view, Qt::LeftButton, {}, QPoint(300, 100));
    QTest::mouseMove(m_view, QPoint(310, 100));
    QTest::mouseMove(m_view, QPoint(320, 100));
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, QPoint(320, 100));
    QTest::qWait(50);
    QVERIFY(!watcher.shown);
    // Dragging right shows earlier audio, five columns per move.
    QCOMPARE(m_view->scrollOffset(), 40);
}

void TestWaveformWidget::boundariesDrawnYellowButFirstStart()
{
    show(indexOfGains(m_dir.path(), 3000, wavyGain));
    TrackList::instance()->setTracks({Track{u"a"_s, u"x"_s, 1, 0, 20000},
                                      Track{u"b"_s, u"x"_s, 2, 20000, 40000},
                                      Track{u"c"_s, u"x"_s, 3, 40000, 60000}});
    const QImage image = m_view->grab().toImage();
    const QColor yellow(Qt::yellow);
    for (int start : {20000, 40000}) {
        const int x = m_view->pixelAtTime(start);
        QCOMPARE(image.pixelColor(x, 2), yellow);
        QCOMPARE(image.pixelColor(x, image.height() - 1), yellow);
    }
    QVERIFY(image.pixelColor(0, 2) != yellow);
    // The outline is blue around the middle where the file is loud.
    QCOMPARE(image.pixelColor(200, image.height() / 2), QColor(Qt::blue));
}

void TestWaveformWidget::sliderFollowsView()
{
    Slider slider;
    slider.resize(800, 12);
    slider.hide();
    m_view->setSlider(&slider);
    show(indexOfGains(m_dir.path(), 8000, wavyGain));

    QVERIFY(!slider.isHidden());
    QCOMPARE(slider.maximum(), m_view->totalWidth());
    QVERIFY(slider.handleLength() >= Slider::MinimumHandleLength);
    QVERIFY(slider.handleLength() < slider.width());

    m_view->scrollBy(400);
    QCOMPARE(slider.value(), 400);
    QCOMPARE(slider.handleRect().left(), slider.valueToPixel(400));

    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 1, 6));
    QCOMPARE(m_view->scrollOffset(), m_view->maximumScrollOffset());

    m_view->zoomIn();
    QCOMPARE(slider.maximum(), m_view->totalWidth());
    QCOMPARE(slider.value(), m_view->scrollOffset());
}

QTEST_MAIN(TestWaveformWidget)
#include "tst_waveformwidget.moc"
