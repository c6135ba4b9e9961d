#include "guiwarnings.h"
#include "tracks/tracklist.h"
#include "waveform/slider.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// A 500-pixel slider with its 100-pixel handle and the range 0 to 400: one value per pixel.
class TestSlider : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void clickPlacesHandle_data();
    void clickPlacesHandle();
    void dragStaysInsideGroove();
    void setValueIgnoredWhenHiddenOrOutside();
    void trackTicksOnlyWhenShownAndDefined_data();
    void trackTicksOnlyWhenShownAndDefined();
    void silencesShadedAtTheirShare_data();
    void silencesShadedAtTheirShare();

private:
    std::unique_ptr<Slider> m_slider;
};

void TestSlider::init()
{
    failOnWarningsButPlatformNotes();
    TrackList::instance()->setTracks({});
    m_slider = std::make_unique<Slider>();
    m_slider->resize(500, 12);
    m_slider->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_slider.get()));
    m_slider->setRange(0, 400);
}

void TestSlider::cleanup()
{
    m_slider.reset();
    TrackList::instance()->setTracks({});
}

void TestSlider::clickPlacesHandle_data()
{
    QTest::addColumn<int>("firstClick"); // -1 for none
    QTest::addColumn<int>("scrolledTo"); // value the view sets before the click
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("left");
    QTest::addColumn<QList<int>>("reported");

    QTest::newRow("at 60 goes to the start") << -1 << 300 << 60 << 0 << QList<int>{0};
    QTest::newRow("at 160 centres the handle") << -1 << 300 << 160 << 110 << QList<int>{110};
    QTest::newRow("near the end stops at the end") << -1 << 0 << 490 << 400 << QList<int>{400};
    QTest::newRow("on the handle starts a drag") << -1 << 300 << 350 << 300 << QList<int>{};
    // The view scrolled away after the first click; the second click must bring it back.
    QTest::newRow("back to the last reported value")
        << 160 << 300 << 160 << 110 << QList<int>{110, 110};
}

void TestSlider::clickPlacesHandle()
{
    QFETCH(int, firstClick);
    QFETCH(int, scrolledTo);
    QFETCH(int, x);
    QFETCH(int, left);
    QFETCH(QList<int>, reported);

    // A fifth of the width before any range update.
    QCOMPARE(m_slider->handleRect(), QRect(0, 0, 100, 12));
    QSignalSpy changed(m_slider.get(), &Slider::valueChanged);
    if (firstClick >= 0)
        QTest::mouseClick(m_slider.get(), Qt::LeftButton, {}, QPoint(firstClick, 6));
    m_slider->setValue(scrolledTo);
    QCOMPARE(m_slider->handleRect().left(), scrolledTo);
    QTest::mouseClick(m_slider.get(), Qt::LeftButton, {}, QPoint(x, 6));

    QCOMPARE(m_slider->handleRect().left(), left);
    QCOMPARE(m_slider->handleLength(), 100);
    QList<int> values;
    for (const QList<QVariant> &arguments : std::as_const(changed))
        values << arguments.at(0).toInt();
    QCOMPARE(values, reported);
}

void TestSlider::dragStaysInsideGroove()
{
    m_slider->setValue(300);
    QSignalSpy changed(m_slider.get(), &Slider::valueChanged);
    QTest::mousePress(m_slider.get(), Qt::LeftButton, {}, QPoint(350, 6));
    QTest::mouseMove(m_slider.get(), QPoint(380, 6));
    QCOMPARE(m_slider->handleRect().left(), 330);
    // Past the end the handle would leave the groove: it stays.
    QTest::mouseMove(m_slider.get(), QPoint(480, 6));
    QCOMPARE(m_slider->handleRect().left(), 330);
    QTest::mouseMove(m_slider.get(), QPoint(60, 6));
    QCOMPARE(m_slider->handleRect().left(), 10);
    QTest::mouseRelease(m_slider.get(), Qt::LeftButton, {}, QPoint(60, 6));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toInt(), 10);
}

void TestSlider::setValueIgnoredWhenHiddenOrOutside()
{
    m_slider->setValue(401);
    QCOMPARE(m_slider->handleRect().left(), 0);
    m_slider->hide();
    m_slider->setValue(200);
    QCOMPARE(m_slider->handleRect().left(), 0);
    m_slider->show();
    m_slider->setValue(200);
    QCOMPARE(m_slider->handleRect().left(), 200);
    QCOMPARE(m_slider->value(), 200);
}

void TestSlider::trackTicksOnlyWhenShownAndDefined_data()
{
    QTest::addColumn<bool>("show");
    QTest::addColumn<int>("lastEnd");
    QTest::addColumn<bool>("tick");

    QTest::newRow("shown") << true << 40000 << true;
    QTest::newRow("off after a new file") << false << 40000 << false;
    QTest::newRow("last track ends at 0") << true << 0 << false;
}

void TestSlider::trackTicksOnlyWhenShownAndDefined()
{
    QFETCH(bool, show);
    QFETCH(int, lastEnd);
    QFETCH(bool, tick);

    TrackList::instance()->setTracks(
        {Track{u"a"_s, u"x"_s, 1, 0, 10000}, Track{u"b"_s, u"x"_s, 2, 10000, lastEnd}});
    m_slider->setValue(300);
    m_slider->setShowTrackMarks(show);
    const QImage image = m_slider->grab().toImage();
    // 10 of 40 seconds along the 500-pixel groove.
    QCOMPARE(image.pixelColor(125, 5) == QColor(Qt::yellow), tick);
    QCOMPARE(image.pixelColor(320, 5), QColor(73, 173, 147));
}

void TestSlider::silencesShadedAtTheirShare_data()
{
    QTest::addColumn<int>("lengthMs");
    QTest::addColumn<int>("value"); // the handle covers value .. value + 100
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("shaded");

    // The silence 10 to 12 of 40 seconds covers pixels 125 to 150 of the groove.
    QTest::newRow("inside") << 40000 << 300 << 130 << true;
    QTest::newRow("over the handle") << 40000 << 100 << 130 << true;
    QTest::newRow("after") << 40000 << 300 << 160 << false;
    QTest::newRow("no length known") << 0 << 300 << 130 << false;
}

void TestSlider::silencesShadedAtTheirShare()
{
    QFETCH(int, lengthMs);
    QFETCH(int, value);
    QFETCH(int, x);
    QFETCH(bool, shaded);

    m_slider->setValue(value);
    const QColor before = m_slider->grab().toImage().pixelColor(x, 5);
    m_slider->setShadedRegions({{10000, 12000}}, lengthMs);
    const QColor after = m_slider->grab().toImage().pixelColor(x, 5);
    QCOMPARE(after != before, shaded);
}

QTEST_MAIN(TestSlider)
#include "tst_slider.moc"
