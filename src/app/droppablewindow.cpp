#include "app/droppablewindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

DroppableWindow::DroppableWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setAcceptDrops(true);
}

void DroppableWindow::addSuffix(const QByteArray &suffix)
{
    m_acceptedSuffixes.append(suffix);
}

void DroppableWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void DroppableWindow::dragEnterEvent(QDragEnterEvent *event)
{
    // Anything may be dragged in; the drop decides what is taken.
    event->acceptProposedAction();
}

void DroppableWindow::dropEvent(QDropEvent *event)
{
    event->acceptProposedAction();
    const QMimeData *mimeData = event->mimeData();
    if (!mimeData)
        return;

    FileList files;
    const QList<QUrl> urls = mimeData->urls();
    for (const QUrl &url : urls) {
        if (!url.isValid())
            continue;
        const QString path = url.toLocalFile();
        if (isAccepted(path))
            files.append(path);
    }
    if (!files.isEmpty())
        emit filesDropped(files);
}

bool DroppableWindow::isAccepted(const QString &path) const
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    return m_acceptAnyFile || m_acceptedSuffixes.contains(info.suffix().toUtf8());
}
