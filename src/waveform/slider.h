#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QWidget>

#include <utility>

// A flat scroll bar for the waveform: the handle shows the visible part, a click or a drag
// moves it and reports the new value, and yellow ticks mark the track boundaries of the
// track list; shaded bands mark spans of the file (the silences). setValue only places the
// handle; valueChanged(int) comes from the user alone. GUI thread only.
class Slider final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MinimumHandleLength = 15;

    explicit Slider(QWidget *parent = nullptr);
    explicit Slider(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~Slider() override;

    Qt::Orientation orientation() const;

    void setShowTrackMarks(bool show);
    bool showTrackMarks() const;

    // Spans [start, end) in ms of a file lengthMs long, drawn as soft bands over the groove.
    void setShadedRegions(const QList<std::pair<int, int>> &ms, int lengthMs);
    QList<std::pair<int, int>> shadedRegions() const { return m_shadedRegions; }

    // Applied only if min < max.
    void setRange(int min, int max);
    int minimum() const;
    int maximum() const;
    int value() const;

    void setHandleLength(int length);
    int handleLength() const;
    QRect handleRect() const;

    // Handle position of a value and value of a handle position, along the orientation.
    int valueToPixel(int value) const;
    int pixelToValue(int pixel) const;

public slots:
    // Places the handle at the value and takes it as the current value; ignored while the
    // slider is hidden or for a value outside the range. Emits nothing.
    void setValue(int value);

signals:
    void valueChanged(int value);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool horizontal() const;
    int length() const;
    int along(const QPoint &point) const;
    void moveHandleTo(int start);
    void report(int value);

    QRect m_handleRect;
    QColor m_handleColor{73, 173, 147};
    int m_pressOffsetX = 0;
    int m_pressOffsetY = 0;
    Qt::Orientation m_orientation = Qt::Horizontal;
    int m_minimum = 1;
    int m_maximum = 100;
    int m_value = 1;
    bool m_showTrackMarks = false;
    bool m_handleLengthSet = false;
    QList<std::pair<int, int>> m_shadedRegions;
    int m_shadedLength = 0;
};
