#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPointer>

#include "tracks/track.h"

class QAction;
class QMenu;
class WaveformWidget;

// The floating marker that moves a track boundary. It is a child widget floating over its
// parent (the main window), never a window of its own, so it is placed the same way on X11
// and Wayland. Once given the waveform (setWaveform), it shows itself when the pointer over
// the view comes near a boundary, drags that boundary through TrackList::moveBoundary
// (which keeps a second on each side) and scrolls the view at its edges; its context menu
// edits or deletes the track, or asks to hear the boundary. It tells the view which
// boundary it stands at (WaveformWidget::setHoveredBoundary). Owns its menu, not the view.
// GUI thread only.
class MarkerWidget final : public QLabel
{
    Q_OBJECT

public:
    // Give it the main window (or any ancestor of the view) as parent.
    explicit MarkerWidget(QWidget *parent = nullptr);
    ~MarkerWidget() override;

    void setWaveform(WaveformWidget *view);
    WaveformWidget *waveform() const;

    int hotSpotX() const;
    int hotSpotY() const;
    // The track whose start the marker stands for.
    int trackIndex() const;
    bool isDragging() const;

    QMenu *contextMenu() const;
    QAction *editAction() const;
    QAction *deleteAction() const;
    QAction *playAroundAction() const;

    void setPressedLook();
    void setNormalLook();
    // The normal look, shown.
    void showNormalLook();

    // Hover at point (view coordinates, pointer up): binds the marker to the boundary
    // within half a marker of the point and shows it there, or hides it. Returns whether
    // it is shown.
    bool placeAt(const QPoint &point);
    // One drag step to point (view coordinates) while the left button holds the marker.
    void dragTo(const QPoint &point);
    // The marker's left, top in view coordinates.
    QPoint positionInView() const;

public slots:
    void onEditMarkerMenu();
    void onDeleteMarkerMenu();
    void onPlayAroundMarkerMenu();

signals:
    // The left button let go of the marker: one drag, however many steps it took, is over.
    void dragFinished();
    // "Play around" on the boundary at boundaryMs (index time); the window plays around it.
    void playAroundRequested(int boundaryMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void hideUnlessDragging();
    // Where the menu's track stands in the list now; -1 when it is gone.
    int menuTrackIndex() const;
    void showPixmap(const QPixmap &pixmap);
    void moveInView(int x, int y);
    QPoint toView(const QPointF &markerPoint) const;
    bool boundaryMoved(int ms);

    QPixmap m_pressedPixmap;
    QPixmap m_normalPixmap;
    int m_hotSpotX = 0;
    int m_hotSpotY = 0;
    int m_trackIndex = 0;
    // The track the context menu was opened for.
    Track m_menuTrack;
    QMenu *m_contextMenu = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_playAroundAction = nullptr;

    QPointer<WaveformWidget> m_view;
    bool m_dragging = false;
    bool m_hasPreviousLeft = false;
    int m_previousLeft = 0;
    QPoint m_lastHover;
};
