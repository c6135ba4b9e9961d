#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDataStream>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/progresswidget.h"

using namespace Qt::StringLiterals;

namespace {

// QWidget::restoreGeometry() neither checks that its blob is complete nor that the rectangles
// in it are sane, and applies what a short read leaves behind (a 1 by 1 window). Read the same
// layout (QDataStream 4.0: magic, versions, frame and normal rectangles, screen, two flags,
// then the screen width from version 2 and the geometry from version 3) and refuse it early.
bool isUsableGeometry(const QByteArray &blob)
{
    QDataStream stream(blob);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 majorVersion = 0;
    quint16 minorVersion = 0;
    QRect frame;
    QRect normal;
    qint32 screen = 0;
    quint8 maximized = 0;
    quint8 fullScreen = 0;
    stream >> magic >> majorVersion >> minorVersion >> frame >> normal >> screen >> maximized
        >> fullScreen;
    if (majorVersion > 1) {
        qint32 screenWidth = 0;
        stream >> screenWidth;
    }
    QRect geometry = normal;
    if (majorVersion > 2)
        stream >> geometry;
    return stream.status() == QDataStream::Ok && magic == 0x1D9D0CB && frame.isValid()
        && normal.isValid() && geometry.isValid();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : DroppableWindow(parent)
    , m_progressPanel(new ProgressWidget(this))
    , m_mainSplitter(nullptr)
{
    if (objectName().isEmpty())
        setObjectName(u"MainWindow"_s);
    resize(640, 480);
    setContextMenuPolicy(Qt::NoContextMenu);
    setWindowIcon(QIcon(u":/launch"_s));
    setWindowOpacity(1.0);
    setWindowTitle(tr("Mavlor"));

    m_progressPanel->setObjectName(u"progressWidget"_s);
    m_progressPanel->setFocusProxy(this);
    m_progressPanel->setFocusPolicy(Qt::NoFocus);

    auto *central = new QWidget(this);
    central->setObjectName(u"centralWidget"_s);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setSpacing(0);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(central);

    // Parented from the start: the settings look the splitter up among the window's children.
    m_mainSplitter = new QSplitter(Qt::Vertical, central);
    m_mainSplitter->setObjectName(u"mainSplitter"_s);
    m_mainSplitter->setChildrenCollapsible(false);
    centralLayout->addWidget(m_mainSplitter);

    restoreSettings();
}

void MainWindow::setCurrentFile(const QString &path)
{
    m_currentFile = path;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    DroppableWindow::closeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    DroppableWindow::moveEvent(event);
    centreProgressPanel();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    DroppableWindow::resizeEvent(event);
    centreProgressPanel();
}

void MainWindow::centreProgressPanel()
{
    const QRect frame = geometry();
    m_progressPanel->move(frame.left() + frame.width() / 2 - m_progressPanel->width() / 2,
                          frame.top() + frame.height() / 2 - m_progressPanel->height() / 2);
}

void MainWindow::saveSettings()
{
    QSettings settings;
    settings.beginGroup(u"ui"_s);
    settings.beginGroup(u"main.window"_s);
    settings.setValue(u"geometry"_s, saveGeometry());
    settings.setValue(u"state"_s, saveState(0));
    settings.endGroup();
    settings.beginGroup(u"main.splitter"_s);
    if (const auto *splitter = findChild<QSplitter *>(u"mainSplitter"_s)) {
        settings.setValue(u"state"_s, splitter->saveState());
        settings.setValue(u"geometry"_s, splitter->saveGeometry());
    }
    settings.endGroup();
    settings.endGroup();
    settings.setValue(u"recent.file"_s, m_currentFile);
}

void MainWindow::restoreSettings()
{
    QSettings settings;
    settings.beginGroup(u"ui"_s);
    settings.beginGroup(u"main.window"_s);
    // An empty or damaged blob is refused by the toolkit and leaves the window as built.
    const QByteArray geometry = settings.value(u"geometry"_s, QByteArray()).toByteArray();
    if (isUsableGeometry(geometry))
        restoreGeometry(geometry);
    restoreState(settings.value(u"state"_s, QByteArray()).toByteArray(), 0);
    settings.endGroup();
    settings.beginGroup(u"main.splitter"_s);
    if (auto *splitter = findChild<QSplitter *>(u"mainSplitter"_s)) {
        splitter->restoreState(settings.value(u"state"_s, QByteArray()).toByteArray());
        const QByteArray splitterGeometry =
            settings.value(u"geometry"_s, QByteArray()).toByteArray();
        if (isUsableGeometry(splitterGeometry))
            splitter->restoreGeometry(splitterGeometry);
    }
    settings.endGroup();
    settings.endGroup();
    m_currentFile = settings.value(u"recent.file"_s, QString()).toString();
}
