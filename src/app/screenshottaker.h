#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class MainWindow;
class QTimer;

// A hook for tools/screenshot.sh, active only when MAVLOR_SCREENSHOT_DIR is set: saves
// "welcome.png" once the window shows, and when a file was given "tracks.png" once its
// tracks are in the table and "maximised.png" of the same window filling the screen; then
// quits (exit code 1 if the tracks never came).
class ScreenshotTaker final : public QObject
{
    Q_OBJECT

public:
    ScreenshotTaker(MainWindow *window, const QString &folder, bool expectFile,
                    QObject *parent = nullptr);

signals:
    // The welcome panel is saved; the file may be opened now.
    void readyForFile();

private:
    void onTick();
    bool save(const QString &name);
    bool tracksShown() const;

    QPointer<MainWindow> m_window;
    QString m_folder;
    bool m_expectFile;
    int m_step = 0;
    int m_ticks = 0;
    int m_stableTicks = 0;
    QTimer *m_timer;
};
