#include "encodedaudio.h"
#include "guiwarnings.h"
#include "tracks/timetext.h"
#include "tracks/tracklist.h"
#include "waveform/slider.h"
#include "waveform/waveformwidget.h"
#include "waveformfixture.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

// An 800 x 200 view; indexes at 44100 Hz, so level 1 shows 38.3 pixels per second.
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
    void scrollStaysInsideLevel();
    void clickOffersTrackDragOnlyScrolls();
    void boundariesDrawnYellowButFirstStart();
    void sliderFollowsView();
    void longFileOpensFittedWithHoursOnTheRuler_data();
    void longFileOpensFittedWithHoursOnTheRuler();
    void keysAndWheelScrollALongFile_data();
    void keysAndWheelScrollALongFile();
    void ctrlWheelZoomsAboutThePointer();
    void shownTrackScrolledIntoViewUntickedDimmed();
    void silencesAndCursorDrawnTillANewFile_data();
    void silencesAndCursorDrawnTillANewFile();

private:
    void load(int entries, const std::function<int(int)> &gainAt = wavyGain);
    void loadFile(const QString &path);
    void goToLevel(int level);

    QString m_hourFile;
    QString m_threeHourFile;

    QTemporaryDir m_dir;
    std::unique_ptr<WaveformWidget> m_view;
};

// Long files made of one four-minute piece encoded by lame (16 kHz mono, 8 kbit/s, no tag
// frame), its frames repeated: a loud and a quiet half, each ending in a short pause. An
// hour takes 15 pieces, just over three hours 46, and no encoding longer than a second.
void TestWaveformWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString piece = QDir(m_dir.path()).filePath(u"piece.mp3"_s);
    QString error;
    QVERIFY2(EncodedAudio::encode(
                 piece,
                 {{118.0, 330.0, 0.7}, {2.0, 0.0, 0.0}, {118.0, 330.0, 0.1}, {2.0, 0.0, 0.0}},
                 16000, 1, {u"-b"_s, u"8"_s, u"-m"_s, u"m"_s, u"--resample"_s, u"16"_s, u"-t"_s},
                 &error),
             qPrintable(error));
    QFile pieceFile(piece);
    QVERIFY(pieceFile.open(QIODevice::ReadOnly));
    const QByteArray frames = pieceFile.readAll();
    const auto repeat = [&](const QString &name, int times) {
        const QString path = QDir(m_dir.path()).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        for (int i = 0; i < times; ++i)
            file.write(frames);
        return path;
    };
    m_hourFile = repeat(u"hour.mp3"_s, 15);
    m_threeHourFile = repeat(u"three hours.mp3"_s, 46);
    QVERIFY(!m_hourFile.isEmpty() && !m_threeHourFile.isEmpty());
}

void TestWaveformWidget::init()
{
    failOnWarningsButPlatformNotes();
    QVERIFY(m_dir.isValid());
    TrackList::instance()->setTracks({});
    m_view = std::make_unique<WaveformWidget>();
    m_view->resize(800, 200);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestWaveformWidget::cleanup()
{
    m_view.reset();
    TrackList::instance()->setTracks({});
}

void TestWaveformWidget::load(int entries, const std::function<int(int)> &gainAt)
{
    m_view->setFrameIndex(indexOfGains(m_dir.path(), entries, gainAt));
}

void TestWaveformWidget::loadFile(const QString &path)
{
    auto index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(path);
    m_view->setFrameIndex(std::move(index));
}

void TestWaveformWidget::goToLevel(int level)
{
    while (m_view->level() > level)
        m_view->zoomIn();
    while (m_view->level() < level)
        m_view->zoomOut();
}

void TestWaveformWidget::levelsFollowEntryCount_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("totalLength");

    QTest::newRow("empty") << 0 << 0 << 0 << 0;
    // Opened at the finest level the 800-pixel view holds; the length is counted from the
    // index (entries x 1152 / 44100 s), not from the columns of a level.
    QTest::newRow("1 entry") << 1 << 0 << 2 << 26;
    QTest::newRow("400 entries, level 0 fills the view") << 400 << 0 << 800 << 10448;
    QTest::newRow("401 entries") << 401 << 1 << 401 << 10475;
    // Halved to 2500, 1250 and 625 columns: the odd entry is lost at the coarse levels.
    QTest::newRow("5001 entries") << 5001 << 4 << 625 << 130638;
}

void TestWaveformWidget::levelsFollowEntryCount()
{
    QFETCH(int, entries);
    QFETCH(int, level);
    QFETCH(int, width);
    QFETCH(int, totalLength);

    load(entries);
    QVERIFY(m_view->frameIndex());
    QCOMPARE(m_view->level(), level);
    QCOMPARE(m_view->totalWidth(), width);
    QCOMPARE(m_view->levelWidth(0), 2 * entries);
    QCOMPARE(m_view->levelWidth(4), entries / 8);
    QCOMPARE(m_view->totalLength(), totalLength);
    m_view->repaint();
}

void TestWaveformWidget::normalisationStaysDefined_data()
{
    QTest::addColumn<QString>("gains"); // "silent", "constant" or "ramp" (0 to 254)
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("entry");
    QTest::addColumn<float>("minimum");
    QTest::addColumn<float>("maximum");

    QTest::newRow("short silent file, high equals low") << u"silent"_s << 10 << 5 << 0.0f << 0.0f;
    QTest::newRow("one entry") << u"silent"_s << 1 << 0 << 0.0f << 0.0f;
    QTest::newRow("two entries") << u"ramp"_s << 2 << 1 << 0.0f << 0.0f;
    QTest::newRow("constant gain has no outline") << u"constant"_s << 400 << 200 << 0.0f << 0.0f;
    QTest::newRow("ramp, quietest 5 % sink") << u"ramp"_s << 1020 << 40 << 0.0f << 0.0f;
    QTest::newRow("ramp, middle") << u"ramp"_s << 1020 << 510 << 0.1f << 0.5f;
    QTest::newRow("ramp, loudest 1 % saturate") << u"ramp"_s << 1020 << 1015 << 1.0f << 1.0f;
}

void TestWaveformWidget::normalisationStaysDefined()
{
    QFETCH(QString, gains);
    QFETCH(int, entries);
    QFETCH(int, entry);
    QFETCH(float, minimum);
    QFETCH(float, maximum);

    load(entries, [gains](int i) {
        return gains == u"ramp"_s ? i / 4 : gains == u"constant"_s ? 200 : 0;
    });
    const float value = m_view->levelValue(1, entry);
    QVERIFY2(value >= minimum && value <= maximum, qPrintable(QString::number(value)));
    for (int z = 0; z < m_view->levelCount(); ++z) {
        for (int j = 0; j < m_view->levelWidth(z); ++j) {
            const float v = m_view->levelValue(z, j);
            QVERIFY2(v >= 0.0f && v <= 1.0f,
                     qPrintable(u"level %1 column %2: %3"_s.arg(z).arg(j).arg(v)));
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
    QTest::newRow("level 5") << 5 << 2.4 << 30;
}

void TestWaveformWidget::rulerStepAt44100()
{
    QFETCH(int, level);
    QFETCH(double, pixelsPerSecond);
    QFETCH(int, step);

    load(12000);
    goToLevel(level);
    QCOMPARE(m_view->level(), level);
    QCOMPARE(qRound(10.0 / m_view->secondsPerPixel()) / 10.0, pixelsPerSecond);
    QCOMPARE(m_view->rulerStep(), step);
}

void TestWaveformWidget::zoomKeepsCentreColumn_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("wheel"); // angle delta; 0 calls zoomIn() or zoomOut()
    QTest::addColumn<int>("expectedLevel");

    QTest::newRow("in") << 3 << 700 << 0 << 2;
    QTest::newRow("out") << 1 << 3000 << 0 << 2;
    QTest::newRow("Ctrl+wheel away from the user zooms in") << 2 << 1000 << 120 << 1;
    QTest::newRow("Ctrl+wheel toward the user zooms out") << 1 << 2000 << -120 << 2;
    QTest::newRow("in at level 0") << 0 << 500 << 120 << 0;
    // 8000 entries: level 5 (500 columns) is the first the view holds.
    QTest::newRow("out at the fit level") << 5 << 0 << -120 << 5;
}

void TestWaveformWidget::zoomKeepsCentreColumn()
{
    QFETCH(int, level);
    QFETCH(int, offset);
    QFETCH(int, wheel);
    QFETCH(int, expectedLevel);

    load(8000);
    goToLevel(level);
    m_view->setScrollOffset(offset);
    const int centre = m_view->viewWidth() / 2;
    const int before = m_view->timeAtPixel(offset + centre);
    const int column = m_view->timeAtPixel(1);
    QSignalSpy scrolled(m_view.get(), &WaveformWidget::scrolled);

    if (wheel != 0) {
        const QPointF at(400, 100);
        QWheelEvent event(at, m_view->mapToGlobal(at), {}, QPoint(0, wheel), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view.get(), &event);
    } else if (expectedLevel < level) {
        m_view->zoomIn();
    } else {
        m_view->zoomOut();
    }

    QCOMPARE(m_view->level(), expectedLevel);
    QCOMPARE(scrolled.count(), 0);
    if (expectedLevel == level) {
        QCOMPARE(m_view->scrollOffset(), offset);
        return;
    }
    const int after = m_view->timeAtPixel(m_view->scrollOffset() + centre);
    QVERIFY2(std::abs(after - before) <= 2 * std::max(column, m_view->timeAtPixel(1)),
             qPrintable(u"centre was %1 ms, is %2 ms"_s.arg(before).arg(after)));
}

void TestWaveformWidget::scrollStaysInsideLevel()
{
    // 300 entries draw 600 columns in the 800-pixel view: nothing to scroll.
    load(300);
    QCOMPARE(m_view->maximumScrollOffset(), -200);
    m_view->scrollBy(50);
    QCOMPARE(m_view->scrollOffset(), 0);

    // Level 3 of 8000 entries has 2000 columns; level 4 only 1000, 200 past the view.
    load(8000);
    goToLevel(3);
    QSignalSpy scrolled(m_view.get(), &WaveformWidget::scrolled);
    m_view->setScrollOffset(-10);
    QCOMPARE(m_view->scrollOffset(), 0);
    m_view->setScrollOffset(100000);
    QCOMPARE(m_view->scrollOffset(), 1200);
    QCOMPARE(scrolled.count(), 0);
    m_view->scrollBy(-30);
    QCOMPARE(m_view->scrollOffset(), 1170);
    QCOMPARE(scrolled.count(), 1);
    // The centre cannot stay at the end of a coarser level; the view must not run past it.
    m_view->zoomOut();
    QCOMPARE(m_view->scrollOffset(), 200);
}

void TestWaveformWidget::clickOffersTrackDragOnlyScrolls()
{
    load(3000);
    goToLevel(2);
    m_view->setScrollOffset(50);
    QString title;
    QString start;
    const auto read = [&](TrackDataDialog *dialog) {
        title = dialog->windowTitle();
        start = dialog->start();
    };

    QVERIFY(answerDialog(
        [&] {
            QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, {300, 100});
        },
        read));
    QCOMPARE(title, u"Add"_s);
    QCOMPARE(start, TimeText::format(m_view->timeAtPixel(350)));
    QCOMPARE(m_view->clickedTime(), m_view->timeAtPixel(350));

    QVERIFY(!answerDialog(
        [&] {
            QTest::mousePress(m_view.get(), Qt::LeftButton, {}, {300, 100});
            QTest::mouseMove(m_view.get(), {310, 100});
            QTest::mouseMove(m_view.get(), {320, 100});
            QTest::mouseRelease(m_view.get(), Qt::LeftButton, {}, {320, 100});
            QTest::mousePress(m_view.get(), Qt::LeftButton, {}, {300, 100});
            QTest::mouseMove(m_view.get(), {290, 100});
            QTest::mouseRelease(m_view.get(), Qt::LeftButton, {}, {300, 100});
        },
        read));
    // Dragging right shows earlier audio, five columns per move; left, later audio.
    QCOMPARE(m_view->scrollOffset(), 45);
    QCOMPARE(m_view->clickedTime(), m_view->timeAtPixel(350));
}

void TestWaveformWidget::boundariesDrawnYellowButFirstStart()
{
    load(3000);
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
    QCOMPARE(image.pixelColor(200, image.height() / 2), QColor(Qt::blue));
}

void TestWaveformWidget::sliderFollowsView()
{
    Slider slider;
    slider.resize(800, 12);
    m_view->setSlider(&slider);
    QVERIFY(slider.isHidden());
    load(8000);
    goToLevel(3);
    m_view->setScrollOffset(0);

    QVERIFY(!slider.isHidden());
    QCOMPARE(slider.maximum(), m_view->maximumScrollOffset());
    // The handle is the visible share of the groove.
    QCOMPARE(slider.handleLength(), 800 * m_view->viewWidth() / m_view->totalWidth());

    m_view->scrollBy(400);
    QCOMPARE(slider.value(), 400);
    QCOMPARE(slider.handleRect().left(), slider.valueToPixel(400));

    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 1, 6));
    QCOMPARE(m_view->scrollOffset(), m_view->maximumScrollOffset());
    QCOMPARE(slider.handleRect().right(), slider.width() - 1); // at the end of the groove

    m_view->zoomIn();
    QCOMPARE(slider.maximum(), m_view->maximumScrollOffset());
    QCOMPARE(slider.value(), m_view->scrollOffset());
}

void TestWaveformWidget::longFileOpensFittedWithHoursOnTheRuler_data()
{
    QTest::addColumn<bool>("threeHours");
    QTest::addColumn<int>("seconds");
    QTest::newRow("60 minutes") << false << 3600;
    QTest::newRow("3 hours 4 minutes") << true << 46 * 240;
}

void TestWaveformWidget::longFileOpensFittedWithHoursOnTheRuler()
{
    QFETCH(bool, threeHours);
    QFETCH(int, seconds);
    const QString path = threeHours ? m_threeHourFile : m_hourFile;
    loadFile(path);
    QVERIFY(m_view->frameIndex());

    // The length is the index's, within lame's padding of what ffprobe reads.
    const CheapMP3 *index = m_view->frameIndex();
    QCOMPARE(m_view->totalLength(),
             int(qint64(index->frameCount()) * CheapMP3::SAMPLES_PER_ENTRY * 1000
                 / index->sampleRate()));
    const double probed = EncodedAudio::probedDuration(path);
    QVERIFY2(std::abs(m_view->totalLength() - probed * 1000) < 300,
             qPrintable(u"%1 ms, ffprobe %2 s"_s.arg(m_view->totalLength()).arg(probed)));
    QVERIFY(m_view->totalLength() >= seconds * 1000);

    for (const int width : {800, 400, 1300}) {
        m_view->resize(width, 200);
        m_view->repaint();
        QVERIFY(m_view->isFitted());
        QCOMPARE(m_view->level(), m_view->fitLevel());
        QVERIFY(m_view->totalWidth() <= width);
        QVERIFY(m_view->levelWidth(m_view->level() - 1) > width); // the finest that fits
        QVERIFY(m_view->timeAtPixel(m_view->totalWidth() + 1) >= m_view->totalLength());
    }

    const auto labels = m_view->rulerLabels();
    QVERIFY(labels.size() >= 4);
    const QRegularExpression clock(u"^\\d:\\d\\d:\\d\\d$"_s);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const QString &text = labels.at(i).second;
        QVERIFY2(clock.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(TimeText::parse(text), (i + 1) * m_view->rulerStep() * 1000);
    }
    QVERIFY(TimeText::parse(labels.last().second) > (seconds - 30 * 60) * 1000);

    // Zoomed in and scrolled, Fit goes back to the whole file.
    goToLevel(m_view->fitLevel() - 3);
    m_view->scrollBy(5000);
    QVERIFY(!m_view->isFitted());
    m_view->fitToView();
    QCOMPARE(m_view->level(), m_view->fitLevel());
    QCOMPARE(m_view->scrollOffset(), 0);
}

void TestWaveformWidget::keysAndWheelScrollALongFile_data()
{
    QTest::addColumn<int>("key"); // 0: a wheel event instead
    QTest::addColumn<QPoint>("wheel");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("offset"); // from 1000, in an 800-pixel view; -1: the largest

    QTest::newRow("Right") << int(Qt::Key_Right) << QPoint() << 0 << 1100;
    QTest::newRow("Left") << int(Qt::Key_Left) << QPoint() << 0 << 900;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << QPoint() << 0 << 1700;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << QPoint() << 0 << 300;
    QTest::newRow("Home") << int(Qt::Key_Home) << QPoint() << 0 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << QPoint() << 0 << -1;
    QTest::newRow("wheel away goes back") << 0 << QPoint(0, 120) << 0 << 900;
    QTest::newRow("wheel toward goes on") << 0 << QPoint(0, -120) << 0 << 1100;
    QTest::newRow("Shift+wheel") << 0 << QPoint(0, -120) << int(Qt::ShiftModifier) << 1100;
    QTest::newRow("sideways wheel") << 0 << QPoint(-240, 0) << 0 << 1200;
    QTest::newRow("half a notch of a touch pad") << 0 << QPoint(0, -60) << 0 << 1050;
}

void TestWaveformWidget::keysAndWheelScrollALongFile()
{
    QFETCH(int, key);
    QFETCH(QPoint, wheel);
    QFETCH(int, modifiers);
    QFETCH(int, offset);
    loadFile(m_threeHourFile);
    const int level = m_view->fitLevel() - 4;
    QVERIFY(level >= 0);
    goToLevel(level);
    m_view->setScrollOffset(1000);
    QSignalSpy scrolled(m_view.get(), &WaveformWidget::scrolled);
    if (key != 0) {
        QTest::keyClick(m_view.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    } else {
        const QPointF at(300, 100);
        QWheelEvent event(at, m_view->mapToGlobal(at), {}, wheel, Qt::NoButton,
                          Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view.get(), &event);
    }
    QCOMPARE(m_view->scrollOffset(), offset < 0 ? m_view->maximumScrollOffset() : offset);
    QCOMPARE(m_view->level(), level);
    QCOMPARE(scrolled.count(), 1);
}

void TestWaveformWidget::ctrlWheelZoomsAboutThePointer()
{
    loadFile(m_threeHourFile);
    const int fit = m_view->fitLevel();
    QVERIFY(fit >= 3);
    goToLevel(fit - 2);
    m_view->setScrollOffset(700);
    const auto ctrlWheel = [this](int angle) {
        const QPointF at(200, 100);
        QWheelEvent event(at, m_view->mapToGlobal(at), {}, QPoint(0, angle), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_view.get(), &event);
    };
    const int before = m_view->timeAtPixel(m_view->scrollOffset() + 200);
    ctrlWheel(120);
    QCOMPARE(m_view->level(), fit - 3);
    const int after = m_view->timeAtPixel(m_view->scrollOffset() + 200);
    QVERIFY2(std::abs(after - before) <= m_view->timeAtPixel(2),
             qPrintable(u"%1 ms under the pointer, then %2 ms"_s.arg(before).arg(after)));
    ctrlWheel(-3 * 120);
    QCOMPARE(m_view->level(), fit);
    ctrlWheel(-120);
    QCOMPARE(m_view->level(), fit); // the fit level is the coarsest
}

void TestWaveformWidget::shownTrackScrolledIntoViewUntickedDimmed()
{
    loadFile(m_threeHourFile);
    TrackList *list = TrackList::instance();
    TrackContainer tracks;
    const int length = m_view->totalLength();
    for (int i = 0; i < 6; ++i)
        tracks.append(
            Track{u"t"_s, u"a"_s, i + 1, i * 1800000, i == 5 ? length : (i + 1) * 1800000});
    list->setTracks(tracks);
    QVERIFY(m_view->fitLevel() >= 4);
    goToLevel(m_view->fitLevel() - 4);
    m_view->setScrollOffset(0);

    for (const int index : {4, 1, 5}) {
        m_view->showTrack(index);
        QCOMPARE(m_view->shownTrack(), index);
        const int start = m_view->pixelAtTime(list->startOf(index));
        QVERIFY2(start >= m_view->scrollOffset() && start < m_view->scrollOffset() + 800,
                 qPrintable(u"track %1 at column %2, view from %3"_s.arg(index).arg(start).arg(
                     m_view->scrollOffset())));
    }
    m_view->showTrack(6);
    QCOMPARE(m_view->shownTrack(), -1);

    // Fitted, track 3 unticked: none of its columns blue, some dimmed.
    m_view->fitToView();
    list->setTicked(2, false);
    const QImage image = m_view->grab().toImage();
    const auto count = [&](int from, int to, const QColor &colour) {
        int found = 0;
        for (int x = from; x < to; ++x) {
            for (int y = 20; y < image.height(); ++y)
                found += image.pixelColor(x, y) == colour;
        }
        return found;
    };
    const int left = m_view->pixelAtTime(2 * 1800000) + 2;
    const int right = m_view->pixelAtTime(3 * 1800000) - 2;
    QCOMPARE(count(left, right, QColor(Qt::blue)), 0);
    QVERIFY(count(left, right, QColor(170, 170, 215)) > 0);
    QVERIFY(count(left - 60, left - 4, QColor(Qt::blue)) > 0);
}

void TestWaveformWidget::silencesAndCursorDrawnTillANewFile_data()
{
    QTest::addColumn<QList<int>>("silences"); // start, end, start, end ... in ms
    QTest::addColumn<int>("cursor");          // shown at probe first, then moved here
    QTest::addColumn<int>("probe");
    QTest::addColumn<QString>("seen");

    QTest::newRow("inside a silence") << QList<int>{10000, 20000} << -1 << 15000 << u"band"_s;
    QTest::newRow("past a silence") << QList<int>{10000, 20000} << -1 << 30000 << u"plain"_s;
    QTest::newRow("a silence narrower than a column")
        << QList<int>{50000, 50001, 10000, 20000} << -1 << 50000 << u"band"_s;
    QTest::newRow("cursor") << QList<int>{} << 25000 << 25000 << u"cursor"_s;
    QTest::newRow("cursor hidden") << QList<int>{} << -1 << 25000 << u"plain"_s;
    QTest::newRow("cursor moved on") << QList<int>{} << 26000 << 25000 << u"plain"_s;
}

void TestWaveformWidget::silencesAndCursorDrawnTillANewFile()
{
    QFETCH(QList<int>, silences);
    QFETCH(int, cursor);
    QFETCH(int, probe);
    QFETCH(QString, seen);

    Slider slider;
    m_view->setSlider(&slider);
    // A constant gain leaves no outline below the middle line.
    load(3000, [](int) { return 150; });
    QList<std::pair<int, int>> regions;
    for (int i = 0; i + 1 < silences.size(); i += 2)
        regions.append({silences.at(i), silences.at(i + 1)});
    m_view->setShadedRegions(regions);
    m_view->setPlayPosition(probe);
    m_view->setPlayPosition(cursor);

    const QImage image = m_view->grab().toImage();
    const int y = image.height() - 1;
    const QColor plain = image.pixelColor(m_view->pixelAtTime(70000), y);
    const QColor at = image.pixelColor(m_view->pixelAtTime(probe) - m_view->scrollOffset(), y);
    if (seen == u"plain"_s)
        QCOMPARE(at, plain);
    else if (seen == u"cursor"_s)
        QCOMPARE(at, QColor(220, 40, 30));
    else
        QVERIFY(at != plain && at.blue() > at.red());
    QCOMPARE(slider.shadedRegions().size(), regions.size());

    load(3000);
    QVERIFY(m_view->shadedRegions().isEmpty());
    QVERIFY(slider.shadedRegions().isEmpty());
    QCOMPARE(m_view->playPosition(), -1);
    QCOMPARE(m_view->clickedTime(), -1);
}

QTEST_MAIN(TestWaveformWidget)
#include "tst_waveformwidget.moc"
