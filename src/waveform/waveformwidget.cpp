#include "waveform/waveformwidget.h"

#include "mp3/cheapmp3.h"
#include "tracks/timetext.h"
#include "tracks/trackdatadialog.h"
#include "tracks/tracklist.h"
#include "waveform/slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// One wheel notch; touch pads send fractions of it, which add up to a zoom step.
constexpr int wheelStep = 120;

// Seconds between ruler labels, from a second to an hour.
constexpr std::array<int, 12> rulerSteps{1, 5, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
constexpr double minimumLabelSpacing = 50.0;

const QColor tickedColor(Qt::blue);
const QColor untickedColor(170, 170, 215);
const QColor shownTrackColor(0, 120, 215, 40);
const QColor shadedColor(110, 130, 160, 60);
const QColor playCursorColor(220, 40, 30);

} // namespace

WaveformWidget::WaveformWidget(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    // A click gives the keys to the view, so they scroll it.
    setFocusPolicy(Qt::StrongFocus);
}

WaveformWidget::~WaveformWidget() = default;

void WaveformWidget::setFrameIndex(CheapMP3Ptr index)
{
    clear();
    if (m_slider)
        m_slider->setShadedRegions({}, 0);
    m_frameIndex = std::move(index);
    if (m_frameIndex) {
        m_sampleRate = m_frameIndex->sampleRate();
        m_samplesPerFrame = CheapMP3::SAMPLES_PER_ENTRY;
        // A view already on screen knows its size; its next paint would only repeat it.
        if (isVisible()) {
            m_viewWidth = width();
            m_viewHeight = height();
        }
        buildLevels();
        // Opening fitted puts every boundary on screen; a view not yet sized fits later.
        m_fitted = true;
        m_level = fitLevel();
        if (m_viewHeight > 0)
            buildColumnHeights();
        if (m_slider) {
            m_slider->setShowTrackMarks(false);
            m_slider->show();
        }
    }
    viewRangeChanged();
    update();
}

const CheapMP3 *WaveformWidget::frameIndex() const
{
    return m_frameIndex.get();
}

void WaveformWidget::setSlider(Slider *slider)
{
    if (m_slider)
        disconnect(m_slider, nullptr, this, nullptr);
    m_slider = slider;
    if (!slider)
        return;
    connect(slider, &Slider::valueChanged, this, &WaveformWidget::setScrollOffset);
    slider->setShadedRegions(m_shadedRegions, totalLength());
    if (m_frameIndex)
        slider->show();
    updateSliderRange();
}

Slider *WaveformWidget::slider() const
{
    return m_slider;
}

void WaveformWidget::updateSliderRange()
{
    if (!m_slider || !m_frameIndex)
        return;
    // The handle stands for the visible share of the level and its left edge for the scroll
    // offset, so the values run to the largest offset: at the end of the file the handle
    // ends at the end of the groove. (A range of the whole width with a handle cut from the
    // groove left of it showed too small a share and never reached the end.)
    const int total = totalWidth();
    m_slider->setRange(0, std::max(1, total - m_viewWidth));
    if (total > 0 && m_viewWidth > 0) {
        const int groove =
            m_slider->orientation() == Qt::Horizontal ? m_slider->width() : m_slider->height();
        int handle =
            total <= m_viewWidth ? groove : static_cast<int>(double(groove) * m_viewWidth / total);
        handle = std::max(handle, Slider::MinimumHandleLength);
        if (groove > 0)
            handle = std::min(handle, groove);
        m_slider->setHandleLength(handle);
    }
    m_slider->setValue(m_scrollOffset);
}

int WaveformWidget::scrollOffset() const
{
    return m_scrollOffset;
}

int WaveformWidget::maximumScrollOffset() const
{
    if (m_levelCount == 0)
        return 0;
    return totalWidth() - m_viewWidth;
}

void WaveformWidget::setScrollOffset(int offset)
{
    // A view wider than the level has nothing to scroll; a negative offset would read
    // columns before the first.
    m_scrollOffset = std::clamp(offset, 0, std::max(0, maximumScrollOffset()));
    update();
}

void WaveformWidget::scrollBy(int delta)
{
    setScrollOffset(m_scrollOffset + delta);
    onScrolled();
}

int WaveformWidget::timeAtPixel(int x) const
{
    if (!m_frameIndex || m_sampleRate <= 0)
        return 0;
    return static_cast<int>(
        double(m_samplesPerFrame) * 1000.0 * x / (double(pixelsPerFrame()) * m_sampleRate) + 0.5);
}

int WaveformWidget::pixelAtTime(int ms) const
{
    if (m_samplesPerFrame == 0)
        return 0;
    const int entry =
        static_cast<int>(double(m_sampleRate) * ms / 1000.0 / m_samplesPerFrame + 0.5);
    return static_cast<int>(pixelsPerFrame() * entry);
}

int WaveformWidget::totalLength() const
{
    return m_frameIndex ? m_frameIndex->lengthMs() : 0;
}

int WaveformWidget::level() const
{
    return m_level;
}

int WaveformWidget::levelCount() const
{
    return m_levelCount;
}

int WaveformWidget::fitLevel() const
{
    if (m_levelCount == 0)
        return 0;
    if (m_viewWidth > 0) {
        for (int z = 0; z < m_levelCount; ++z) {
            if (m_levelWidths[z] <= m_viewWidth)
                return z;
        }
    }
    return m_levelCount - 1;
}

bool WaveformWidget::isFitted() const
{
    return m_fitted;
}

int WaveformWidget::levelWidth(int level) const
{
    if (level < 0 || level >= m_levelCount)
        return 0;
    return m_levelWidths[level];
}

float WaveformWidget::levelValue(int level, int column) const
{
    if (level < 0 || level >= m_levelCount || column < 0 || column >= m_levelWidths[level])
        return 0.0f;
    return m_levels[level][column];
}

int WaveformWidget::totalWidth() const
{
    return levelWidth(m_level);
}

int WaveformWidget::viewWidth() const
{
    return m_viewWidth;
}

int WaveformWidget::viewHeight() const
{
    return m_viewHeight;
}

double WaveformWidget::secondsPerPixel() const
{
    if (m_sampleRate <= 0)
        return 0.0;
    return double(m_samplesPerFrame) / (double(pixelsPerFrame()) * m_sampleRate);
}

int WaveformWidget::rulerStep() const
{
    const double sp = secondsPerPixel();
    if (sp <= 0.0)
        return 1;
    for (const int step : rulerSteps) {
        if (step / sp >= minimumLabelSpacing)
            return step;
    }
    return rulerSteps.back();
}

QList<std::pair<int, QString>> WaveformWidget::rulerLabels() const
{
    QList<std::pair<int, QString>> labels;
    const double sp = secondsPerPixel();
    if (sp <= 0.0)
        return labels;
    const int step = rulerStep();
    const int length = totalLength();
    const int visible = std::min(m_viewWidth, totalWidth() - m_scrollOffset);
    double t = m_scrollOffset * sp;
    qint64 last = static_cast<qint64>(t / step);
    for (int x = 0; x < visible; ++x) {
        t += sp;
        const qint64 mark = static_cast<qint64>(t / step);
        if (mark != last) {
            last = mark;
            labels.append(
                {x, TimeText::formatSeconds(static_cast<int>(mark * step * 1000), length)});
        }
    }
    return labels;
}

void WaveformWidget::showTrack(int index)
{
    const TrackList *list = TrackList::instance();
    m_shownTrack = index >= 0 && index < list->count() ? index : -1;
    update();
    if (m_shownTrack < 0 || !m_frameIndex || m_viewWidth <= 0)
        return;
    const Track track = list->trackAt(m_shownTrack);
    const int left = pixelAtTime(track.start);
    const int right = pixelAtTime(track.end);
    if (left >= m_scrollOffset && right <= m_scrollOffset + m_viewWidth)
        return;
    // A track wider than the view shows its start, with a little of the one before.
    const int offset = right - left <= m_viewWidth ? left - (m_viewWidth - (right - left)) / 2
                                                   : left - m_viewWidth / 10;
    scrollBy(offset - m_scrollOffset);
}

int WaveformWidget::shownTrack() const
{
    return m_shownTrack;
}

void WaveformWidget::setHoveredBoundary(int index)
{
    if (index == m_hoveredBoundary)
        return;
    m_hoveredBoundary = index;
    update();
    emit boundaryHovered(index);
}

int WaveformWidget::hoveredBoundary() const
{
    return m_hoveredBoundary;
}

void WaveformWidget::zoomIn()
{
    if (!m_frameIndex || m_viewWidth == 0)
        return;
    m_fitted = false;
    setLevel(m_level - 1, m_viewWidth / 2);
}

void WaveformWidget::zoomOut()
{
    if (!m_frameIndex || m_viewWidth == 0)
        return;
    m_fitted = false;
    setLevel(m_level + 1, m_viewWidth / 2);
}

void WaveformWidget::fitToView()
{
    if (!m_frameIndex)
        return;
    m_fitted = true;
    setLevel(fitLevel(), 0);
    scrollBy(-m_scrollOffset);
}

void WaveformWidget::setLevel(int level, int anchorX)
{
    // Past the fit level the file only gets narrower than the view.
    level = std::clamp(level, 0, fitLevel());
    if (level == m_level)
        return;
    const double column = (double(m_scrollOffset) + anchorX) * std::ldexp(1.0, m_level - level);
    m_level = level;
    // Near the end of the file the anchor cannot stay: a coarser level is shorter, and an
    // offset past its end would leave the right of the view blank.
    m_scrollOffset =
        std::clamp(static_cast<int>(column) - anchorX, 0, std::max(0, maximumScrollOffset()));
    buildColumnHeights();
    viewRangeChanged();
    update();
}

void WaveformWidget::followViewWidth()
{
    m_viewWidth = width();
    if (m_fitted || m_level > fitLevel()) {
        m_level = fitLevel();
        m_scrollOffset = std::clamp(m_scrollOffset, 0, std::max(0, maximumScrollOffset()));
        buildColumnHeights();
    }
}

void WaveformWidget::paintEvent(QPaintEvent *)
{
    if (!m_frameIndex)
        return;
    if (m_viewWidth != width())
        followViewWidth();
    if (m_viewHeight != height() || m_columnHeights.size() != static_cast<size_t>(totalWidth())) {
        m_viewHeight = height();
        buildColumnHeights();
    }
    const int mid = m_viewHeight / 2;
    const int total = totalWidth();
    const int visible = std::min(m_viewWidth, total - m_scrollOffset);
    const TrackList *list = TrackList::instance();
    // In view pixels, placed as the marker places itself.
    const auto xOf = [this](int ms) { return pixelAtTime(ms) - m_scrollOffset; };

    QPainter painter(this);
    if (m_shownTrack >= 0 && m_shownTrack < list->count()) {
        const Track track = list->trackAt(m_shownTrack);
        painter.fillRect(QRect(QPoint(xOf(track.start), 0), QPoint(xOf(track.end), m_viewHeight)),
                         shownTrackColor);
    }
    // Bands from the first one that ends in view to the last one that starts in it.
    auto band = std::lower_bound(
        m_shadedColumns.begin(), m_shadedColumns.end(), m_scrollOffset,
        [](const std::pair<int, int> &columns, int offset) { return columns.second <= offset; });
    for (; band != m_shadedColumns.end() && band->first < m_scrollOffset + visible; ++band)
        painter.fillRect(
            QRect(band->first - m_scrollOffset, 0, band->second - band->first, m_viewHeight),
            shadedColor);

    // Columns of unticked tracks go to their own, dimmed list; the track under a column is
    // found by walking the list along with the columns.
    QList<QLine> ticked;
    QList<QLine> unticked;
    ticked.reserve(std::max(visible, 0));
    const TrackContainer tracks = list->allTracks();
    const auto startX = [&](qsizetype i) {
        return i < tracks.size() ? xOf(tracks.at(i).start) : std::numeric_limits<int>::max();
    };
    qsizetype track = 0;
    int nextStart = startX(1);
    bool dimmed = !tracks.isEmpty() && !tracks.first().ticked;
    for (int x = 0; x < visible; ++x) {
        while (x >= nextStart) {
            ++track;
            nextStart = startX(track + 1);
            dimmed = !tracks.at(track).ticked;
        }
        const int h = m_columnHeights[m_scrollOffset + x];
        (dimmed ? unticked : ticked).append(QLine(x, mid - h, x, mid + h + 1));
    }
    painter.setPen(tickedColor);
    painter.drawLines(ticked);
    painter.setPen(untickedColor);
    painter.drawLines(unticked);

    // Loud columns reach the top; a pale backing keeps the ruler readable over them.
    painter.setPen(QColor(Qt::black));
    const QFontMetrics metrics = painter.fontMetrics();
    QColor backing = palette().color(QPalette::Window);
    backing.setAlpha(235);
    for (const auto &[x, text] : rulerLabels()) {
        painter.fillRect(QRect(x - 2, 10 - metrics.ascent(), metrics.horizontalAdvance(text) + 4,
                               metrics.ascent() + metrics.descent()),
                         backing);
        painter.drawText(QPointF(x, 10.0), text);
    }

    // Track boundaries; the start of the first track is the start of the file.
    for (int i = 1; i < list->count(); ++i) {
        const int x = xOf(list->startOf(i));
        if (x < 0 || x > visible)
            continue;
        // The hovered boundary is drawn wider, as its rows are highlighted in the table.
        painter.setPen(QPen(QColor(Qt::yellow), i == m_hoveredBoundary ? 3 : 1));
        painter.drawLine(x, 0, x, m_viewHeight);
    }

    if (m_playPosition >= 0) {
        painter.setPen(playCursorColor);
        const int x = xOf(m_playPosition);
        painter.drawLine(x, 0, x, m_viewHeight);
    }
}

void WaveformWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_frameIndex)
        return;
    followViewWidth();
    if (m_viewHeight != height()) {
        m_viewHeight = height();
        buildColumnHeights();
    }
    viewRangeChanged();
}

void WaveformWidget::mousePressEvent(QMouseEvent *event)
{
    if (m_frameIndex && event->button() == Qt::LeftButton) {
        m_leftDown = true;
        m_pressX = static_cast<int>(event->position().x());
        m_lastDragX = m_pressX;
        m_dragged = false;
        // Taken here, so that the window below does not see a click of its own.
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WaveformWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_frameIndex && m_leftDown && (event->buttons() & Qt::LeftButton)) {
        // Dragging right shows earlier audio, as if pulling the paper.
        const int x = static_cast<int>(event->position().x());
        scrollBy(x > m_lastDragX ? -5 : 5);
        m_lastDragX = x;
        m_dragged = true;
    }
    QWidget::mouseMoveEvent(event);
}

void WaveformWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_leftDown) {
        m_leftDown = false;
        const int x = static_cast<int>(event->position().x());
        // A drag that came back to where it began was still a drag, not a click.
        if (m_frameIndex && x == m_pressX && !m_dragged) {
            const int ms = timeAtPixel(m_scrollOffset + x);
            m_clickedTime = ms;
            TrackDataDialog::editTrackAt(window(), tr("Add"), ms);
        }
    }
    QWidget::mouseReleaseEvent(event);
}

// As in desktop editors with one horizontal timeline: Ctrl+wheel zooms about the pointer,
// the plain wheel and Shift+wheel (which some systems turn into a sideways wheel) scroll.
void WaveformWidget::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    if (!m_frameIndex) {
        QWidget::wheelEvent(event);
        return;
    }
    const int delta = std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y();
    if (event->modifiers() & Qt::ControlModifier) {
        const int anchor = std::clamp(static_cast<int>(event->position().x()), 0, m_viewWidth);
        m_wheelAngle += delta;
        while (m_wheelAngle >= wheelStep) {
            m_wheelAngle -= wheelStep;
            m_fitted = false;
            setLevel(m_level - 1, anchor);
        }
        while (m_wheelAngle <= -wheelStep) {
            m_wheelAngle += wheelStep;
            m_fitted = false;
            setLevel(m_level + 1, anchor);
        }
    } else {
        // A notch away from the user goes back in time, an eighth of the view.
        scrollBy(-delta * std::max(m_viewWidth / 8, 1) / wheelStep);
    }
    event->accept();
}

void WaveformWidget::keyPressEvent(QKeyEvent *event)
{
    if (!m_frameIndex) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = std::max(m_viewWidth / 8, 1);
    const int page = std::max(m_viewWidth * 7 / 8, 1);
    switch (event->key()) {
    case Qt::Key_Left:
        scrollBy(-step);
        break;
    case Qt::Key_Right:
        scrollBy(step);
        break;
    case Qt::Key_PageUp:
        scrollBy(-page);
        break;
    case Qt::Key_PageDown:
        scrollBy(page);
        break;
    case Qt::Key_Home:
        scrollBy(-m_scrollOffset);
        break;
    case Qt::Key_End:
        scrollBy(std::max(0, maximumScrollOffset()) - m_scrollOffset);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void WaveformWidget::clear()
{
    m_frameIndex.reset();
    m_levels.clear();
    m_levelWidths.clear();
    m_columnHeights = {};
    m_level = 0;
    m_levelCount = 0;
    m_sampleRate = 0;
    m_samplesPerFrame = 0;
    m_scrollOffset = 0;
    m_viewWidth = 0;
    m_viewHeight = 0;
    m_leftDown = false;
    m_wheelAngle = 0;
    m_fitted = false;
    m_shownTrack = -1;
    m_hoveredBoundary = -1;
    m_shadedRegions.clear();
    m_shadedColumns.clear();
    m_playPosition = -1;
    m_clickedTime = -1;
}

void WaveformWidget::buildLevels()
{
    const int n = m_frameIndex->frameCount();
    const quint8 *g = m_frameIndex->frameGains();

    // Smoothing over three neighbours, two at the ends.
    std::vector<float> v(static_cast<size_t>(n));
    if (n == 1) {
        v[0] = g[0];
    } else if (n == 2) {
        v[0] = g[0];
        v[1] = g[1];
    } else if (n > 2) {
        v[0] = (float(g[0]) + g[1]) / 2.0f;
        for (int i = 1; i < n - 1; ++i)
            v[i] = (float(g[i - 1]) + g[i] + g[i + 1]) / 3.0f;
        v[n - 1] = (float(g[n - 2]) + g[n - 1]) / 2.0f;
    }

    float maximum = 1.0f;
    for (float s : v)
        maximum = std::max(maximum, s);
    const float scale = maximum > 255.0f ? 255.0f / maximum : 1.0f;

    std::array<int, 256> count{};
    int top = 0;
    for (float s : v) {
        const int bin = std::clamp(static_cast<int>(scale * s), 0, 255);
        ++count[bin];
        top = std::max(top, bin);
    }

    // The quietest 5 % sink to 0 and the loudest 1 % saturate.
    int low = 0;
    if (n / 20 > 0) {
        int sum = 0;
        while (sum < n / 20 && low < 255) {
            sum += count[low];
            ++low;
        }
    }
    int high = top;
    int sum = 0;
    while (high > 2 && sum < n / 100) {
        sum += count[high];
        --high;
    }

    for (float &s : v) {
        // A file without spread in its gains (all equal, or nearly) has no outline to show.
        float value = 0.0f;
        if (high > low)
            value = std::clamp((scale * s - low) / float(high - low), 0.0f, 1.0f);
        s = value * value;
    }

    std::vector<float> finest(2 * static_cast<size_t>(n));
    float previous = 0.0f;
    for (int i = 0; i < n; ++i) {
        finest[2 * i] = (previous + v[i]) / 2.0f;
        finest[2 * i + 1] = v[i];
        previous = v[i];
    }
    m_levels.push_back(std::move(finest));
    m_levelWidths.push_back(2 * n);
    m_levels.push_back(std::move(v));
    m_levelWidths.push_back(n);
    // Halving down to a column or two: whatever the view's width, one level fits it, and all
    // of them together cost no more than the first two.
    while (m_levelWidths.back() > 1) {
        const std::vector<float> &finer = m_levels.back();
        const int width = m_levelWidths.back() / 2;
        std::vector<float> values(static_cast<size_t>(width));
        for (int j = 0; j < width; ++j)
            values[j] = (finer[2 * j] + finer[2 * j + 1]) / 2.0f;
        m_levels.push_back(std::move(values));
        m_levelWidths.push_back(width);
    }
    m_levelCount = static_cast<int>(m_levels.size());
    m_level = 0;
}

void WaveformWidget::buildColumnHeights()
{
    if (m_levelCount == 0)
        return;
    const std::vector<float> &values = m_levels[m_level];
    const int half = std::max(m_viewHeight / 2 - 1, 0);
    m_columnHeights.resize(values.size());
    for (size_t j = 0; j < values.size(); ++j)
        m_columnHeights[j] = static_cast<int>(half * values[j]);
    buildShadedColumns();
}

void WaveformWidget::buildShadedColumns()
{
    m_shadedColumns.clear();
    for (const auto &[start, end] : m_shadedRegions) {
        const int left = pixelAtTime(start);
        // A region narrower than a column still shows as one.
        m_shadedColumns.emplace_back(left, std::max(pixelAtTime(end), left + 1));
    }
}

void WaveformWidget::setShadedRegions(const QList<std::pair<int, int>> &ms)
{
    m_shadedRegions = ms;
    std::sort(m_shadedRegions.begin(), m_shadedRegions.end());
    buildShadedColumns();
    if (m_slider)
        m_slider->setShadedRegions(m_shadedRegions, totalLength());
    update();
}

void WaveformWidget::setPlayPosition(int ms)
{
    if (ms == m_playPosition)
        return;
    // Thirty moves a second repaint only the old and the new line.
    const auto strip = [this](int at) {
        return QRect(pixelAtTime(at) - m_scrollOffset - 1, 0, 3, height());
    };
    if (m_playPosition >= 0)
        update(strip(m_playPosition));
    m_playPosition = ms < 0 ? -1 : ms;
    if (m_playPosition >= 0)
        update(strip(m_playPosition));
}

void WaveformWidget::viewRangeChanged()
{
    updateSliderRange();
    emit rangeChanged();
}

double WaveformWidget::pixelsPerFrame() const
{
    // Level 0 draws an entry 2 pixels wide, each level after it half as wide.
    return std::ldexp(2.0, -m_level);
}

void WaveformWidget::onScrolled()
{
    if (m_slider)
        m_slider->setValue(m_scrollOffset);
    emit scrolled();
}
