#include "waveform/slider.h"

#include <algorithm>

#include "tracks/tracklist.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

Slider::Slider(QWidget *parent)
    : Slider(Qt::Horizontal, parent)
{
}

Slider::Slider(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent)
    , m_orientation(orientation)
{
    if (horizontal())
        setMinimumWidth(MinimumHandleLength);
    else
        setMinimumHeight(MinimumHandleLength);
}

Slider::~Slider() = default;

Qt::Orientation Slider::orientation() const
{
    return m_orientation;
}

void Slider::setShowTrackMarks(bool show)
{
    m_showTrackMarks = show;
}

bool Slider::showTrackMarks() const
{
    return m_showTrackMarks;
}

void Slider::setRange(int min, int max)
{
    if (min >= max)
        return;
    m_minimum = min;
    m_maximum = max;
}

int Slider::minimum() const
{
    return m_minimum;
}

int Slider::maximum() const
{
    return m_maximum;
}

int Slider::value() const
{
    return m_value;
}

void Slider::setHandleLength(int length)
{
    if (horizontal())
        m_handleRect.setRight(m_handleRect.left() + length - 1);
    else
        m_handleRect.setBottom(m_handleRect.top() + length - 1);
    m_handleLengthSet = true;
    update();
}

int Slider::handleLength() const
{
    return horizontal() ? m_handleRect.width() : m_handleRect.height();
}

QRect Slider::handleRect() const
{
    return m_handleRect;
}

int Slider::valueToPixel(int value) const
{
    if (value < m_minimum || m_minimum == m_maximum)
        return 0;
    const int free = length() - handleLength();
    if (free == 0)
        return 0;
    return static_cast<int>(double(free) / (m_maximum - m_minimum) * (value - m_minimum));
}

int Slider::pixelToValue(int pixel) const
{
    if (pixel < 0)
        return 0;
    const int free = length() - handleLength();
    if (free < pixel || free == 0)
        return 0;
    return m_minimum + static_cast<int>(double(m_maximum - m_minimum) / free * pixel);
}

void Slider::setValue(int value)
{
    if (isHidden() || value < m_minimum || value > m_maximum)
        return;
    // Kept, so that a later click or drag compares against where the handle really is:
    // otherwise a click back to the last reported value after the view scrolled by itself
    // would move the handle but not the view.
    m_value = value;
    moveHandleTo(valueToPixel(value));
    update();
}

void Slider::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_handleRect.contains(point)) {
        m_pressOffsetX = point.x() - m_handleRect.left();
        m_pressOffsetY = point.y() - m_handleRect.top();
    } else {
        m_pressOffsetX = -1;
        m_pressOffsetY = -1;
        const int len = handleLength();
        int a = along(point) - len / 2;
        if (a + len > length())
            a = length() - len;
        // A click less than one handle length from the start goes to the start.
        if (a - len / 2 < 0)
            a = 0;
        moveHandleTo(a);
        report(pixelToValue(a));
    }
    update();
    QWidget::mousePressEvent(event);
}

void Slider::mouseMoveEvent(QMouseEvent *event)
{
    const int pressOffset = horizontal() ? m_pressOffsetX : m_pressOffsetY;
    if (pressOffset != -1) {
        const int a = along(event->position().toPoint()) - pressOffset;
        if (a >= 0 && a + handleLength() <= length()) {
            moveHandleTo(a);
            report(pixelToValue(a));
        }
    }
    update();
    QWidget::mouseMoveEvent(event);
}

void Slider::setShadedRegions(const QList<std::pair<int, int>> &ms, int lengthMs)
{
    m_shadedRegions = ms;
    m_shadedLength = lengthMs;
    update();
}

void Slider::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    // The whole groove, not just the exposed part: its edges belong to the widget's rectangle.
    const QRect groove = rect();

    painter.save();
    painter.fillRect(groove, QColor(48, 49, 50));
    painter.setPen(QColor(57, 66, 80));
    painter.drawLine(groove.topLeft(), groove.bottomLeft());
    painter.drawLine(groove.topLeft(), groove.topRight());
    painter.setPen(QColor(174, 185, 198));
    painter.drawLine(groove.topRight(), groove.bottomRight());
    painter.drawLine(groove.bottomLeft(), groove.bottomRight());
    painter.restore();

    const QRect &h = m_handleRect;
    if (!h.isEmpty()) {
        painter.save();
        painter.fillRect(h, m_handleColor);
        painter.setPen(QColor(Qt::white));
        painter.drawLine(h.left(), h.top(), h.left(), h.bottom());
        painter.drawLine(h.left(), h.top(), h.right(), h.top());
        painter.setPen(QColor(0, 112, 89));
        if (horizontal()) {
            painter.drawLine(h.right() + 1, h.bottom(), h.right() + 1, h.top());
            painter.drawLine(h.right(), h.bottom(), h.left(), h.bottom());
        } else {
            painter.drawLine(h.right(), h.bottom(), h.right(), h.top());
            painter.drawLine(h.right(), h.bottom() + 1, h.left(), h.bottom() + 1);
        }
        painter.restore();
    }

    // Over the handle too, so that the silences stay in sight wherever the view is.
    if (m_shadedLength > 0) {
        const double along = horizontal() ? width() : height();
        for (const auto &[start, end] : m_shadedRegions) {
            const int from = static_cast<int>(double(start) / m_shadedLength * along);
            const int size =
                std::max(static_cast<int>(double(end) / m_shadedLength * along) - from, 1);
            painter.fillRect(horizontal() ? QRect(from, 0, size, height())
                                          : QRect(0, from, width(), size),
                             QColor(150, 175, 210, 110));
        }
    }

    const TrackList *list = TrackList::instance();
    const int count = list->count();
    // Without a known end (a last track ending at 0) the ticks have no place.
    const int end = count > 0 ? list->trackAt(count - 1).end : 0;
    if (m_showTrackMarks && count > 0 && end > 0) {
        painter.setPen(QColor(Qt::yellow));
        // The groove maps the whole file (the handle's left is the offset's share of it), so
        // a boundary's tick sits at its share of the groove.
        const double along = horizontal() ? width() : height();
        for (int i = 1; i < count; ++i) {
            const int x = static_cast<int>(double(list->startOf(i)) / end * along);
            painter.drawLine(x, 0, x, height());
        }
    }
    painter.end();
    QWidget::paintEvent(event);
}

void Slider::resizeEvent(QResizeEvent *event)
{
    const int newLength = horizontal() ? event->size().width() : event->size().height();
    const int newThickness = horizontal() ? event->size().height() : event->size().width();
    const int oldLength = horizontal() ? event->oldSize().width() : event->oldSize().height();
    if ((!m_handleLengthSet || m_handleRect.isEmpty()) && newLength / 5 >= MinimumHandleLength) {
        if (horizontal())
            m_handleRect.setWidth(newLength / 5);
        else
            m_handleRect.setHeight(newLength / 5);
    } else if (m_handleLengthSet && oldLength > 0 && !m_handleRect.isEmpty()) {
        // The handle is a share of the groove; the view may have set it before this resize
        // reached the slider, so keep the share rather than the pixels.
        const int scaled = std::clamp(handleLength() * newLength / oldLength, MinimumHandleLength,
                                      std::max(newLength, 1));
        if (horizontal())
            m_handleRect.setWidth(scaled);
        else
            m_handleRect.setHeight(scaled);
    }
    if (horizontal())
        m_handleRect.setHeight(newThickness);
    else
        m_handleRect.setWidth(newThickness);
    moveHandleTo(valueToPixel(m_value));
    QWidget::resizeEvent(event);
}

bool Slider::horizontal() const
{
    return m_orientation == Qt::Horizontal;
}

int Slider::length() const
{
    return horizontal() ? width() : height();
}

int Slider::along(const QPoint &point) const
{
    return horizontal() ? point.x() : point.y();
}

void Slider::moveHandleTo(int start)
{
    if (horizontal())
        m_handleRect.moveLeft(start);
    else
        m_handleRect.moveTop(start);
}

void Slider::report(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    emit valueChanged(value);
}
