#pragma once

#include <QPointer>
#include <QWidget>

#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

#include "mp3/cheapmp3.h"

class Slider;

// Loudness outline of the opened MP3, drawn from the index's per-entry gains at pre-computed
// zoom levels (2 pixels per entry, then each half the one before, down to the level that
// holds the whole file in the view), with a time ruler and a yellow line at every track
// boundary; tracks the list holds unticked are drawn dimmed and the shown track is marked;
// shaded regions (the silences) and a play cursor can be laid over it. Shares the frame
// index read-only. Handles its own input: a click without movement offers a new track at
// that time (and is remembered, clickedTime), a drag with the left button, the wheel, Shift+wheel and the arrow, Page and Home/End keys
// scroll, Ctrl+wheel zooms about the pointer. A new file opens fitted, and a fitted view
// stays fitted when resized. With a slider set (setSlider) it keeps the slider in step; the
// window connects nothing for scrolling. GUI thread only.
class WaveformWidget final : public QWidget
{
    Q_OBJECT

public:
    explicit WaveformWidget(QWidget *parent = nullptr);
    ~WaveformWidget() override;

    // Replaces the current index, builds the levels and starts fitted, scrolled to the
    // start. Null leaves the view empty.
    void setFrameIndex(CheapMP3Ptr index);
    const CheapMP3 *frameIndex() const;

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
    // The file's length from its index, in ms; 0 without one.
    int totalLength() const;

    int level() const;
    int levelCount() const;
    // The finest level whose width the view holds; zooming out stops there.
    int fitLevel() const;
    // Whether the view follows the fit level (after opening a file or fitToView).
    bool isFitted() const;
    int levelWidth(int level) const;
    // Normalised loudness of one column, 0 to 1; 0 outside the level.
    float levelValue(int level, int column) const;
    int totalWidth() const;
    int viewWidth() const;
    int viewHeight() const;
    double secondsPerPixel() const;
    // Seconds between ruler labels at the current level: the shortest of 1 s, 5 s, 15 s ...
    // 1 h that leaves at least 50 pixels between labels.
    int rulerStep() const;
    // The ruler's labels in view: pixel column and time text (hours in a file of an hour
    // or more).
    QList<std::pair<int, QString>> rulerLabels() const;

    // Marks the region of the track at index and scrolls it into view (centred when it
    // fits); -1 or an index past the list clears the mark.
    void showTrack(int index);
    int shownTrack() const;
    // The boundary at the start of the track at index is under the pointer (-1: none);
    // emits boundaryHovered when it changes. The marker calls it.
    void setHoveredBoundary(int index);
    int hoveredBoundary() const;

    // Spans of the file [start, end) in ms drawn as soft bands behind the outline, and on
    // the slider; the silences found in the file. A new file clears them.
    void setShadedRegions(const QList<std::pair<int, int>> &ms);
    QList<std::pair<int, int>> shadedRegions() const { return m_shadedRegions; }
    // Where playing has come, in ms, drawn as a line; -1 hides it. A new file hides it.
    void setPlayPosition(int ms);
    int playPosition() const { return m_playPosition; }
    // The time of the last plain click in the view, in ms; -1 before the first one in
    // this file.
    int clickedTime() const { return m_clickedTime; }

public slots:
    void setScrollOffset(int offset);
    void zoomIn();
    void zoomOut();
    // The whole file in the view's width, scrolled to the start.
    void fitToView();

signals:
    // The pointer came to the boundary at the start of the track at index, or left it (-1).
    void boundaryHovered(int index);
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
    void keyPressEvent(QKeyEvent *event) override;

private:
    void clear();
    void buildLevels();
    void buildColumnHeights();
    void buildShadedColumns();
    void viewRangeChanged();
    // Goes to level, keeping the column under anchorX (view pixels) under it.
    void setLevel(int level, int anchorX);
    void followViewWidth();
    double pixelsPerFrame() const;
    void onScrolled();

    CheapMP3Ptr m_frameIndex;
    std::vector<int> m_levelWidths;
    std::vector<std::vector<float>> m_levels;
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
    bool m_fitted = false;
    int m_shownTrack = -1;
    int m_hoveredBoundary = -1;
    QList<std::pair<int, int>> m_shadedRegions;
    // The shaded regions in columns [left, right) of the current level, in order.
    std::vector<std::pair<int, int>> m_shadedColumns;
    int m_playPosition = -1;
    int m_clickedTime = -1;
};
