#pragma once

#include <QByteArrayList>
#include <QMainWindow>
#include <QStringList>

// A main window that accepts files dragged onto it and reports the acceptable ones, in drop
// order, as one filesDropped() per drop. Folders, missing files, non-local URLs and files
// whose suffix (after the last dot, compared case-sensitively) is not registered are skipped.
class DroppableWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Local file paths in drop order.
    using FileList = QStringList;

    explicit DroppableWindow(QWidget *parent = nullptr);

    // The suffix without its dot, e.g. "mp3".
    void addSuffix(const QByteArray &suffix);
    void setAcceptAnyFile(bool accept) { m_acceptAnyFile = accept; }

signals:
    void filesDropped(const DroppableWindow::FileList &files);
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool isAccepted(const QString &path) const;

    QByteArrayList m_acceptedSuffixes;
    bool m_acceptAnyFile = false;
};
