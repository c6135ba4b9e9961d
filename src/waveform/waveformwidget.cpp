#include "waveform/waveformwidget.h"

#include "mp3/cheapmp3.h"
#include "tracks/trackdatadialog.h"
#include "tracks/tracklist.h"
#include "waveform/slider.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Index entries are drawn 2, 1, 1/2, 1/4 and 1/8 pixel wide.
constexpr std::array<float, WaveformWidget::LevelCount> pixelsPerFrameOf{2.0f, 1.0f, 0.5f, 0.25f,
                                                                         0.125f};

// One wheel notch; touch pads send fractions of it, which add up to a zoom step.
constexpr int wheelStep = 120;

int initialLevel(int entries)
{
    if (entries <= 300)
        return 0;
    if (entries <= 1000)
        return 1;
    if (entries <= 5000)
        return 2;
    return 3;
}

} // namespace

WaveformWidget::WaveformWidget(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
}

WaveformWidget::~WaveformWidget() = default;

void WaveformWidget::setFrameIndex(CheapMP3Ptr index)
{
    clear();
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
    return timeAtPixel(maximumScrollOffset() + m_viewWidth);
}

int WaveformWidget::level() const
{
    return m_level;
}

int WaveformWidget::levelCount() const
{
    return m_levelCount;
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
    int step = 1;
    if (1.0 / sp < 50.0)
        step = 5;
    if (step / sp < 50.0)
        step = 15;
    return step;
}

void WaveformWidget::zoomIn()
{
    if (!m_frameIndex || m_viewWidth == 0 || m_level == 0)
        return;
    --m_level;
    // The column at the centre of the view stays at the centre.
    m_scrollOffset = std::max(0, m_viewWidth / 2 + 2 * m_scrollOffset);
    buildColumnHeights();
    viewRangeChanged();
    update();
}

void WaveformWidget::zoomOut()
{
    if (!m_frameIndex || m_viewWidth == 0 || m_level >= m_levelCount - 1)
        return;
    ++m_level;
    const int centre = (m_scrollOffset + m_viewWidth / 2) / 2;
    // Near the end of the file the centre cannot stay: the coarser level is shorter, and an
    // offset past its end would leave the right of the view blank.
    m_scrollOffset = std::clamp(centre - m_viewWidth / 2, 0, std::max(0, maximumScrollOffset()));
    buildColumnHeights();
    viewRangeChanged();
    update();
}

void WaveformWidget::paintEvent(QPaintEvent *)
{
    if (!m_frameIndex)
        return;
    if (m_viewWidth != width())
        m_viewWidth = width();
    if (m_viewHeight != height() || m_columnHeights.size() != static_cast<size_t>(totalWidth())) {
        m_viewHeight = height();
        buildColumnHeights();
    }
    const int mid = m_viewHeight / 2;
    const int total = totalWidth();
    const int visible = std::min(m_viewWidth, total - m_scrollOffset);

    QList<QLine> columns;
    columns.reserve(std::max(visible, 0));
    struct Label
    {
        int x;
        QString text;
    };
    QList<Label> labels;

    const double sp = secondsPerPixel();
    const int step = rulerStep();
    double t = m_scrollOffset * sp;
    int last = static_cast<int>(t / step);
    for (int x = 0; x < visible; ++x) {
        const int h = m_columnHeights[m_scrollOffset + x];
        columns.append(QLine(x, mid - h, x, mid + h + 1));
        t += sp;
        const int mark = static_cast<int>(t / step);
        if (mark != last) {
            last = mark;
            const int seconds = static_cast<int>(t);
            labels.append(
                {x, u"%1 : %2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'))});
        }
    }

    QPainter painter(this);
    painter.setPen(QColor(Qt::blue));
    painter.drawLines(columns);
    painter.setPen(QColor(Qt::black));
    // Loud columns reach the top; a pale backing keeps the ruler readable over them.
    const QFontMetrics metrics = painter.fontMetrics();
    QColor backing = palette().color(QPalette::Window);
    backing.setAlpha(235);
    for (const Label &label : std::as_const(labels)) {
        painter.fillRect(QRect(label.x - 2, 10 - metrics.ascent(),
                               metrics.horizontalAdvance(label.text) + 4,
                               metrics.ascent() + metrics.descent()),
                         backing);
        painter.drawText(QPointF(label.x, 10.0), label.text);
    }

    // Track boundaries; the start of the first track is the start of the file.
    painter.setPen(QColor(Qt::yellow));
    const TrackList *list = TrackList::instance();
    const float ppf = pixelsPerFrame();
    for (int i = 1; i < list->count(); ++i) {
        const int entry =
            static_cast<int>(list->startOf(i) / 1000.0 * m_sampleRate / m_samplesPerFrame + 0.5);
        const int x = static_cast<int>(entry * ppf) - m_scrollOffset;
        if (x >= 0 && x <= visible)
            painter.drawLine(x, 0, x, m_viewHeight);
    }
}

void WaveformWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_frameIndex)
        return;
    m_viewWidth = width();
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
            TrackDataDialog::editTrackAt(window(), tr("Add"), ms);
        }
    }
    QWidget::mouseReleaseEvent(event);
}

void WaveformWidget::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    if (!m_frameIndex || std::abs(angle.y()) < std::abs(angle.x())) {
        QWidget::wheelEvent(event);
        return;
    }
    m_wheelAngle += angle.y();
    while (m_wheelAngle >= wheelStep) {
        m_wheelAngle -= wheelStep;
        zoomIn();
    }
    while (m_wheelAngle <= -wheelStep) {
        m_wheelAngle += wheelStep;
        zoomOut();
    }
    event->accept();
}

void WaveformWidget::clear()
{
    m_frameIndex.reset();
    for (std::vector<float> &values : m_levels)
        values = {};
    m_levelWidths = {};
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

    std::vector<float> &finest = m_levels[0];
    finest.resize(2 * static_cast<size_t>(n));
    float previous = 0.0f;
    for (int i = 0; i < n; ++i) {
        finest[2 * i] = (previous + v[i]) / 2.0f;
        finest[2 * i + 1] = v[i];
        previous = v[i];
    }
    m_levelWidths[0] = 2 * n;
    m_levels[1] = std::move(v);
    m_levelWidths[1] = n;
    for (int z = 2; z < LevelCount; ++z) {
        const std::vector<float> &coarser = m_levels[z - 1];
        const int width = m_levelWidths[z - 1] / 2;
        std::vector<float> &values = m_levels[z];
        values.resize(static_cast<size_t>(width));
        for (int j = 0; j < width; ++j)
            values[j] = (coarser[2 * j] + coarser[2 * j + 1]) / 2.0f;
        m_levelWidths[z] = width;
    }
    m_levelCount = LevelCount;
    m_level = initialLevel(n);
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
}

void WaveformWidget::viewRangeChanged()
{
    updateSliderRange();
    emit rangeChanged();
}

float WaveformWidget::pixelsPerFrame() const
{
    return pixelsPerFrameOf[m_level];
}

void WaveformWidget::onScrolled()
{
    if (m_slider)
        m_slider->setValue(m_scrollOffset);
    emit scrolled();
}
