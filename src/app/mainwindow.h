#pragma once

#include "app/droppablewindow.h"

class ProgressWidget;
class QSplitter;

// The application's only top-level window. So far it holds the main splitter and the
// progress panel, and keeps its geometry, state, splitter and last file between runs:
// restored once at the end of construction, saved once when the window is closed.
class MainWindow final : public DroppableWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    QString currentFile() const { return m_currentFile; }
    void setCurrentFile(const QString &path);

    ProgressWidget *progressPanel() const { return m_progressPanel; }
    QSplitter *mainSplitter() const { return m_mainSplitter; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void saveSettings();
    void restoreSettings();
    void centreProgressPanel();

    QString m_currentFile;
    ProgressWidget *m_progressPanel;
    QSplitter *m_mainSplitter;
};
