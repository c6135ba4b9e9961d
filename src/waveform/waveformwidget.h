#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

#include "mp3/cheapmp3.h"

class Slider;

// Loudness outline of the opened MP3, drawn from the index's per-entry gains at five
// pre-computed zoom levels, with a time ruler and a yellow line at every track boundary.
// Shares the frame index read-only. Handles its own input: a click without movement offers a new track
// at that time, a drag with the left button scrolls, the wheel zooms about the centre.
// With a slider set (setSlider) it keeps the slider in step; the window connects nothing
// for scrolling. GUI thread only.
class WaveformWidget final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LevelCount = 5;

    explicit WaveformWidget(QWidget *parent = nullptr);
    ~WaveformWidget() override;

    // Replaces (and deletes) the current index, builds the levels and starts at the
    // initial level, scrolled to the start. Null leaves the view empty.
    void setFrameIndex(CheapMP3Ptr index);
    const CheapMP3 *frameIndex() const;
    CheapMP3Ptr sharedFrameIndex() const { return m_frameIndex; }

    // Slider coupling: its value scrolls the view, scrolling moves its handle, and its range
    // and handle follow a new index, a zoom and a resize. The slider is shown (with its track
    // ticks off) when an index is set. Not owned.
    void setSlider(Slider *slider);
    Slider *slider() const;
    // Range := total width of the current level, handle := the visible share, value := offset.
    void updateSliderRange();

    int scrollOffset() const;
    // Total width of the current level less the view width; negative when all of it fits.
    int maximumScrollOffset() const;
    // Offset clamped to 0 .. maximumScrollOffset (0 when that is negative); emits nothing.
    void scrollBy(int delta);

    // Pixel columns of the current level and milliseconds, both ways (not exact inverses).
    int timeAtPixel(int x) const;
    int pixelAtTime(int ms) const;
    // Milliseconds covered by the whole current level: the file's length for the track list.
    int totalLength() const;

    int level() const;
    int levelCount() const;
    int levelWidth(int level) const;
    // Normalised loudness of one column, 0 to 1; 0 outside the level.
    float levelValue(int level, int column) const;
    int totalWidth() const;
    int viewWidth() const;
    int viewHeight() const;
    double secondsPerPixel() const;
    // Seconds between ruler labels at the current level: 1, 5 or 15.
    int rulerStep() const;

public slots:
    void setScrollOffset(int offset);
    void zoomIn();
    void zoomOut();

signals:
    // The user or scrollBy moved the view; setScrollOffset does not emit it.
    void scrolled();
    // The total width or the view width changed: a new index, a zoom or a resize.
    void rangeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void clear();
    void buildLevels();
    void buildColumnHeights();
    void viewRangeChanged();
    float pixelsPerFrame() const;
    void onScrolled();

    CheapMP3Ptr m_frameIndex;
    std::array<int, LevelCount> m_levelWidths{};
    std::array<std::vector<float>, LevelCount> m_levels;
    std::vector<int> m_columnHeights;
    int m_level = 0;
    int m_levelCount = 0;
    int m_sampleRate = 0;
    int m_samplesPerFrame = 0;
    int m_scrollOffset = 0;
    int m_viewWidth = 0;
    int m_viewHeight = 0;

    QPointer<Slider> m_slider;
    bool m_leftDown = false;
    int m_pressX = 0;
    int m_lastDragX = 0;
    bool m_dragged = false;
    int m_wheelAngle = 0;
};
