#include "waveform/markerwidget.h"

#include "tracks/trackdatadialog.h"
#include "tracks/tracklist.h"
#include "waveform/waveformwidget.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

MarkerWidget::MarkerWidget(QWidget *parent)
    : QLabel(parent)
    , m_pressedPixmap(u":/pressedMarker"_s)
    , m_normalPixmap(u":/normalMarker"_s)
{
    setObjectName(u"hoverMarker"_s);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setNormalLook();

    m_contextMenu = new QMenu(this);
    m_editAction = m_contextMenu->addAction(tr("Edit"));
    m_deleteAction = m_contextMenu->addAction(tr("Delete"));
    m_playAroundAction = m_contextMenu->addAction(tr("Play around"));
    connect(m_editAction, &QAction::triggered, this, &MarkerWidget::onEditMarkerMenu);
    connect(m_deleteAction, &QAction::triggered, this, &MarkerWidget::onDeleteMarkerMenu);
    connect(m_playAroundAction, &QAction::triggered, this, &MarkerWidget::onPlayAroundMarkerMenu);
    hide();
}

MarkerWidget::~MarkerWidget() = default;

void MarkerWidget::setWaveform(WaveformWidget *view)
{
    if (m_view) {
        m_view->removeEventFilter(this);
        disconnect(m_view, nullptr, this, nullptr);
    }
    m_view = view;
    hide();
    if (!view)
        return;
    // Floating over the view needs a parent that holds it; a marker of its own would be a
    // window, which Wayland will not let us place.
    if (!parentWidget())
        setParent(view->window());
    view->setMouseTracking(true);
    view->installEventFilter(this);
    // A zoom, a resize or a scroll by other means moves the boundary from under the marker;
    // the next move of the pointer places it again. Its own drag scrolls the view and stays.
    connect(view, &WaveformWidget::scrolled, this, &MarkerWidget::hideUnlessDragging);
    connect(view, &WaveformWidget::rangeChanged, this, &MarkerWidget::hideUnlessDragging);
}

WaveformWidget *MarkerWidget::waveform() const
{
    return m_view;
}

int MarkerWidget::hotSpotX() const
{
    return m_hotSpotX;
}

int MarkerWidget::hotSpotY() const
{
    return m_hotSpotY;
}

int MarkerWidget::trackIndex() const
{
    return m_trackIndex;
}

bool MarkerWidget::isDragging() const
{
    return m_dragging;
}

QMenu *MarkerWidget::contextMenu() const
{
    return m_contextMenu;
}

QAction *MarkerWidget::editAction() const
{
    return m_editAction;
}

QAction *MarkerWidget::deleteAction() const
{
    return m_deleteAction;
}

QAction *MarkerWidget::playAroundAction() const
{
    return m_playAroundAction;
}

void MarkerWidget::setPressedLook()
{
    showPixmap(m_pressedPixmap);
}

void MarkerWidget::setNormalLook()
{
    showPixmap(m_normalPixmap);
}

void MarkerWidget::showNormalLook()
{
    setNormalLook();
    show();
    raise();
}

bool MarkerWidget::placeAt(const QPoint &point)
{
    if (!m_view || !m_view->frameIndex() || !m_view->isEnabled()) {
        if (m_view)
            m_view->setHoveredBoundary(-1);
        hide();
        return false;
    }
    // Never within a marker's size of the view's edges, so it is always whole on screen.
    const int w = m_view->width();
    const int h = m_view->height();
    if (point.x() < width() || point.x() > w - width() || point.y() < height()
        || point.y() > h - height()) {
        m_view->setHoveredBoundary(-1);
        hide();
        return false;
    }

    const int offset = m_view->scrollOffset();
    const int t = m_view->timeAtPixel(point.x() + offset);
    const int tolerance = m_view->timeAtPixel(m_hotSpotX);
    const TrackList *list = TrackList::instance();
    int found = -1;
    for (int i = 0; i < list->count(); ++i) {
        const int start = list->startOf(i);
        if (start - tolerance <= t && t <= start + tolerance) {
            found = i;
            break;
        }
    }
    m_view->setHoveredBoundary(found);
    if (found < 0) {
        hide();
        return false;
    }
    m_trackIndex = found;
    moveInView(m_view->pixelAtTime(list->startOf(found)) - m_hotSpotX - offset,
               point.y() - m_hotSpotY);
    showNormalLook();
    return true;
}

void MarkerWidget::dragTo(const QPoint &point)
{
    if (!m_view)
        return;
    const int w = m_view->width();
    const int h = m_view->height();
    int y = point.y() - m_hotSpotY;
    if (y < 0)
        y = 0;
    if (y + 2 * m_hotSpotY > h)
        y = h - 2 * m_hotSpotY;

    const int mx = positionInView().x();
    if (mx < 0 || mx + 2 * m_hotSpotX > w) {
        hide();
        return;
    }
    const int a = point.x() - m_hotSpotX;
    if (!m_hasPreviousLeft) {
        m_previousLeft = a;
        m_hasPreviousLeft = true;
    }
    const int previous = m_previousLeft;
    const int offset = m_view->scrollOffset();
    const bool atLeft = a < 1;
    const bool atRight = a > w - 2 * m_hotSpotX - 1;
    if (atLeft || atRight) {
        // At an edge the marker stays and the view scrolls under it; the boundary goes to
        // three pixels beyond the marker's centre in the direction of movement.
        const int t = m_view->timeAtPixel(offset + mx + m_hotSpotX - 3 + (previous < a ? 6 : 0));
        if (boundaryMoved(t)) {
            if (atRight && previous < a)
                m_view->scrollBy(4);
            else if (atLeft && previous >= a)
                m_view->scrollBy(-4);
            moveInView(mx, y);
        }
    } else if (boundaryMoved(m_view->timeAtPixel(point.x() + offset))) {
        moveInView(a, y);
    }
    m_previousLeft = a;
}

QPoint MarkerWidget::positionInView() const
{
    if (!m_view)
        return pos();
    const QWidget *parent = parentWidget();
    if (!parent)
        return m_view->mapFromGlobal(pos());
    if (parent == m_view || parent->isAncestorOf(m_view))
        return m_view->mapFrom(parent, pos());
    return m_view->mapFromGlobal(parent->mapToGlobal(pos()));
}

int MarkerWidget::menuTrackIndex() const
{
    const TrackList *list = TrackList::instance();
    for (int i = 0; i < list->count(); ++i) {
        if (list->trackAt(i) == m_menuTrack)
            return i;
    }
    return -1;
}

void MarkerWidget::onEditMarkerMenu()
{
    hide();
    // The list may have been replaced while the menu was open: act on that track or none.
    if (const int index = menuTrackIndex(); index >= 0)
        TrackDataDialog::editTrack(window(), tr("Edit"), index, {}, {}, {}, {});
}

void MarkerWidget::onPlayAroundMarkerMenu()
{
    // A boundary the list no longer has is not played, as it is not edited.
    if (const int index = menuTrackIndex(); index >= 0)
        emit playAroundRequested(TrackList::instance()->startOf(index));
}

void MarkerWidget::onDeleteMarkerMenu()
{
    if (const int index = menuTrackIndex(); index >= 0)
        TrackList::instance()->removeTrack(index);
    hide();
    if (m_view)
        m_view->update();
}

bool MarkerWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view)
        return QLabel::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto *move = static_cast<QMouseEvent *>(event);
        // A move with the button down scrolls the view; only hovering places the marker.
        m_lastHover = move->position().toPoint();
        if (!(move->buttons() & Qt::LeftButton) && !m_dragging)
            placeAt(m_lastHover);
        break;
    }
    case QEvent::Leave:
        // The view also loses the pointer to the marker shown under it; keep it then.
        // (Where the pointer went is not asked of the system: Wayland does not tell.)
        if (isVisible() && !m_dragging && !QRect(positionInView(), size()).contains(m_lastHover)) {
            m_view->setHoveredBoundary(-1);
            hide();
        }
        break;
    case QEvent::EnabledChange:
    case QEvent::Hide:
        if (!m_view->isEnabled() || event->type() == QEvent::Hide) {
            m_dragging = false;
            hide();
        }
        break;
    default:
        break;
    }
    return QLabel::eventFilter(watched, event);
}

void MarkerWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        setPressedLook();
        m_dragging = true;
    } else if (event->button() == Qt::RightButton) {
        m_menuTrack = TrackList::instance()->trackAt(m_trackIndex);
        m_contextMenu->popup(event->globalPosition().toPoint());
    } else {
        QLabel::mousePressEvent(event);
        return;
    }
    // Taken here, so that the window below does not see a click of its own.
    event->accept();
}

void MarkerWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_view) {
        const QPoint point = toView(event->position());
        if (m_dragging)
            dragTo(point);
        else if (!(event->buttons() & Qt::LeftButton))
            placeAt(point); // follows the pointer up and down the boundary
    }
    QLabel::mouseMoveEvent(event);
}

void MarkerWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        if (!rect().contains(event->position().toPoint()))
            hide();
        setNormalLook();
        emit dragFinished();
    }
    QLabel::mouseReleaseEvent(event);
}

void MarkerWidget::leaveEvent(QEvent *event)
{
    // Leaving onto the view re-places the marker from the view's own moves.
    if (!m_dragging && !m_contextMenu->isVisible())
        hide();
    QLabel::leaveEvent(event);
}

void MarkerWidget::hideUnlessDragging()
{
    if (!m_dragging)
        hide();
}

void MarkerWidget::showPixmap(const QPixmap &pixmap)
{
    setPixmap(pixmap);
    setFixedSize(pixmap.size());
    m_hotSpotX = pixmap.width() / 2;
    m_hotSpotY = pixmap.height() / 2;
}

void MarkerWidget::moveInView(int x, int y)
{
    const QPoint point(x, y);
    QWidget *parent = parentWidget();
    if (!m_view || !parent)
        move(m_view ? m_view->mapToGlobal(point) : point);
    else if (parent == m_view || parent->isAncestorOf(m_view))
        move(m_view->mapTo(parent, point));
    else
        move(parent->mapFromGlobal(m_view->mapToGlobal(point)));
}

QPoint MarkerWidget::toView(const QPointF &markerPoint) const
{
    QWidget *top = window();
    if (top == m_view->window())
        return m_view->mapFrom(top, mapTo(top, markerPoint.toPoint()));
    return m_view->mapFromGlobal(mapToGlobal(markerPoint.toPoint()));
}

bool MarkerWidget::boundaryMoved(int ms)
{
    if (!TrackList::instance()->moveBoundary(m_trackIndex, ms))
        return false;
    m_view->update();
    return true;
}
