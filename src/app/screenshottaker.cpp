#include "app/screenshottaker.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/progresswidget.h"
#include "tracks/listmodel.h"
#include "tracks/tracklist.h"
#include "waveform/waveformwidget.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int tickMs = 100;
constexpr int giveUpTicks = 300; // 30 s
constexpr int settleTicks = 5;   // let layouts and pending paints finish
} // namespace

ScreenshotTaker::ScreenshotTaker(MainWindow *window, const QString &folder, bool expectFile,
                                 QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_folder(folder)
    , m_expectFile(expectFile)
    , m_timer(new QTimer(this))
{
    QDir().mkpath(folder);
    connect(m_timer, &QTimer::timeout, this, &ScreenshotTaker::onTick);
    m_timer->start(tickMs);
}

bool ScreenshotTaker::tracksShown() const
{
    const int count = TrackList::instance()->count();
    return m_window->waveformView()->frameIndex() && !m_window->progressPanel()->isVisible()
        && count > 0 && m_window->trackModel()->rowCount() == count
        && m_window->controlPane()->isVisible();
}

bool ScreenshotTaker::save(const QString &name)
{
    return m_window->grab().save(QDir(m_folder).filePath(name));
}

void ScreenshotTaker::onTick()
{
    if (!m_window || ++m_ticks > giveUpTicks) {
        QApplication::exit(1);
        return;
    }
    switch (m_step) {
    case 0: // the welcome panel, before the file given on the command line is opened
        if (!m_window->isVisible() || ++m_stableTicks < settleTicks)
            return;
        if (!save(u"welcome.png"_s))
            QApplication::exit(1);
        m_stableTicks = 0;
        m_step = m_expectFile ? 1 : 4;
        if (m_expectFile)
            emit readyForFile();
        return;
    case 1: // the file's tracks in the table, at the window's own size
        if (!tracksShown()) {
            m_stableTicks = 0;
            return;
        }
        if (++m_stableTicks < settleTicks)
            return;
        if (!save(u"tracks.png"_s))
            QApplication::exit(1);
        m_stableTicks = 0;
        m_step = 2;
        // Without a window manager a maximise request is never answered; fill the screen.
        m_window->showMaximized();
        m_window->setGeometry(m_window->screen()->availableGeometry());
        return;
    case 2:
        if (++m_stableTicks < settleTicks)
            return;
        if (!save(u"maximised.png"_s))
            QApplication::exit(1);
        m_stableTicks = 0;
        m_step = 3;
        m_window->freedbSearchAction()->trigger();
        return;
    case 3: // the same with the freedb panel docked beside the panes
        if (++m_stableTicks < settleTicks)
            return;
        if (!save(u"freedb.png"_s))
            QApplication::exit(1);
        m_step = 4;
        return;
    default:
        m_timer->stop();
        m_window->close();
        QApplication::exit(0);
    }
}
