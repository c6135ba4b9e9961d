#include "app/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDataStream>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

#include "app/aboutdialog.h"
#include "app/buttonlineedit.h"
#include "app/enablingcommands.h"
#include "app/freedbsearchwidget.h"
#include "app/progresswidget.h"
#include "app/welcomepanel.h"
#include "cue/cuedialog.h"
#include "mp3/cheapmp3.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"
#include "tracks/timetext.h"
#include "tracks/trackdatadialog.h"
#include "tracks/trackheader.h"
#include "tracks/trackitem.h"
#include "tracks/tracklist.h"
#include "tracks/trackviewcontroller.h"
#include "waveform/markerwidget.h"
#include "waveform/slider.h"
#include "waveform/waveformwidget.h"
#include "work/callbackcommand.h"
#include "work/mp3manager.h"

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

QAction *makeAction(QObject *parent, const char *name, const QString &text, const QString &icon)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    return action;
}

// Tool bar tips name the shortcut too, the way desktop applications show them.
void setTip(QAction *action, const QString &tip)
{
    const QString shortcut = action->shortcut().toString(QKeySequence::NativeText);
    action->setToolTip(shortcut.isEmpty() ? tip : u"%1 (%2)"_s.arg(tip, shortcut));
}

constexpr int trackColumnArtist = 1;
constexpr int trackColumnLength = 5;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : DroppableWindow(parent)
    , m_manager(Mp3Manager::instance())
    , m_progressPanel(new ProgressWidget(this))
{
    // main() keeps the manager's scope around the window; tests make one of their own.
    Q_ASSERT(m_manager);
    if (objectName().isEmpty())
        setObjectName(u"MainWindow"_s);
    resize(640, 480);
    setContextMenuPolicy(Qt::NoContextMenu);
    setWindowIcon(QIcon(u":/launch"_s));
    setWindowOpacity(1.0);
    setWindowTitle(tr("Mavlor"));

    m_trackHeader = new TrackHeader(this);
    m_trackHeader->setDefaultAlignment(Qt::AlignRight);
    m_trackModel = std::make_unique<ListModel>();
    m_trackModel->setHeaderListener(m_trackHeader);

    // Docked in createPanes(); a disc's tracks replace the list like a sheet's do.
    m_freedbPanel = new FreedbSearchWidget(this);
    m_freedbPanel->hide();
    connect(m_freedbPanel, &FreedbSearchWidget::closed, this, &MainWindow::onFreedbSearchClose);
    connect(m_freedbPanel, &FreedbSearchWidget::tracksReady, this, &MainWindow::onReadyTracks);

    m_progressPanel->setObjectName(u"progressWidget"_s);
    m_progressPanel->setFocusProxy(this);
    m_progressPanel->setFocusPolicy(Qt::NoFocus);

    createActions();
    createMenusAndToolBar();
    createPanes();

    connect(m_trackModel.get(), &QAbstractItemModel::dataChanged, this,
            &MainWindow::onTrackModelDataChanged);
    connect(m_progressPanel, &ProgressWidget::stopped, m_manager, &Mp3Manager::onStopAnyWork);
    connect(m_manager, &Mp3Manager::readyCheapMP3, this, &MainWindow::onReadyCheapMP3);
    connect(m_manager, &Mp3Manager::readProgress, this, &MainWindow::onReadProgress);
    connect(m_manager, &Mp3Manager::readyCueFiles, this, &MainWindow::onCueFilesFinded);
    connect(m_manager, &Mp3Manager::readyTracks, this, &MainWindow::onReadyTracks);
    connect(m_manager, &Mp3Manager::sliceProgress, this, &MainWindow::onSliceProgress);
    connect(m_manager, &Mp3Manager::trackFailed, this, &MainWindow::onTrackFailed);
    connect(m_manager, &Mp3Manager::trackWritten, this, &MainWindow::onTrackWritten);
    connect(m_manager, &Mp3Manager::cueParseEnded, this, &MainWindow::onCueParseEnded);

    registerCommands();
    restoreSettings();

    m_welcomePanel = new WelcomePanel(m_actionOpen, centralWidget());
    m_centralLayout->addWidget(m_welcomePanel);

    addSuffix("mp3");
    connect(this, &DroppableWindow::filesDropped, this, &MainWindow::onDroppedFiles);

    TrackList::instance()->setCalculater(this);
    TrackList::instance()->setUpdateListener(this);
}

MainWindow::~MainWindow()
{
    // The track list outlives the window; it must not call back into it. The work manager
    // may already be gone at this point and is not touched.
    TrackList::instance()->setCalculater(nullptr);
    TrackList::instance()->setUpdateListener(nullptr);
    m_trackView->setModel(nullptr);
}

void MainWindow::createActions()
{
    m_actionOpen = makeAction(this, "actionOpen", tr("Open"), u":/open"_s);
    m_actionOpen->setShortcut(QKeySequence::Open);
    setTip(m_actionOpen, tr("Open an MP3 file"));
    m_actionExit = makeAction(this, "actionExit", tr("Exit"), QString());
    m_actionExit->setShortcut(QKeySequence::Quit);
    m_actionAbout = makeAction(this, "actionAbout", tr("About"), u":/about"_s);
    m_actionSlice = makeAction(this, "actionSlice", tr("Slice"), u":/slice"_s);
    setTip(m_actionSlice, tr("Write the ticked tracks into the folder"));
    m_actionAdd = makeAction(this, "actionAdd", tr("Add"), u":/add"_s);
    setTip(m_actionAdd, tr("Add a track"));
    m_actionRemove = makeAction(this, "actionRemove", tr("Remove"), u":/delete"_s);
    m_actionRemove->setShortcut(QKeySequence::Delete);
    setTip(m_actionRemove, tr("Remove the selected track"));
    m_actionEdit = makeAction(this, "actionEdit", tr("Edit"), u":/edit"_s);
    m_actionEdit->setShortcut(Qt::Key_F2);
    setTip(m_actionEdit, tr("Edit the selected track"));
    m_actionFreedbSearch = makeAction(this, "actionFreedbSearch", tr("Search..."), u":/search"_s);
    m_actionFreedbSearch->setCheckable(true);
    m_actionFreedbSearch->setEnabled(false);
    m_actionFreedbSearch->setToolTip(tr("freedb search"));

    // Shortcuts only, not in the menus: the waveform's wheel does the same.
    m_actionZoomIn = makeAction(this, "actionZoomIn", tr("Zoom In"), QString());
    m_actionZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(u"Ctrl+="_s)});
    m_actionZoomOut = makeAction(this, "actionZoomOut", tr("Zoom Out"), QString());
    m_actionZoomOut->setShortcut(QKeySequence::ZoomOut);
    addAction(m_actionZoomIn);
    addAction(m_actionZoomOut);

    // Nothing to act on before the first file has been read.
    for (QAction *action : {m_actionSlice, m_actionAdd, m_actionRemove, m_actionEdit,
                            m_actionZoomIn, m_actionZoomOut})
        action->setEnabled(false);

    connect(m_actionOpen, &QAction::triggered, this, &MainWindow::onOpenFile);
    connect(m_actionExit, &QAction::triggered, this, &QWidget::close);
    connect(m_actionAbout, &QAction::triggered, this, &MainWindow::onAbout);
    connect(m_actionSlice, &QAction::triggered, this, &MainWindow::onSlice);
    connect(m_actionAdd, &QAction::triggered, this, &MainWindow::onAdd);
    connect(m_actionRemove, &QAction::triggered, this, &MainWindow::onRemove);
    connect(m_actionEdit, &QAction::triggered, this, &MainWindow::onEdit);
    connect(m_actionFreedbSearch, &QAction::triggered, this, &MainWindow::onFreedbSearch);
    // The view keeps the slider in step with a zoom itself.
    connect(m_actionZoomIn, &QAction::triggered, this, [this] { m_waveformView->zoomIn(); });
    connect(m_actionZoomOut, &QAction::triggered, this, [this] { m_waveformView->zoomOut(); });
}

void MainWindow::createMenusAndToolBar()
{
    auto *central = new QWidget(this);
    central->setObjectName(u"centralWidget"_s);
    setCentralWidget(central);

    auto *bar = new QMenuBar(this);
    bar->setObjectName(u"menuBar"_s);
    bar->setGeometry(0, 0, 640, 18);
    setMenuBar(bar);
    QMenu *fileMenu = bar->addMenu(tr("File"));
    fileMenu->setObjectName(u"menuFile"_s);
    QMenu *helpMenu = bar->addMenu(tr("Help"));
    helpMenu->setObjectName(u"menuAbout"_s);
    fileMenu->addAction(m_actionOpen);
    fileMenu->addAction(m_actionSlice);
    fileMenu->addAction(m_actionFreedbSearch);
    fileMenu->addSeparator();
    fileMenu->addAction(m_actionExit);
    helpMenu->addAction(m_actionAbout);

    auto *toolBar = new QToolBar(this);
    toolBar->setObjectName(u"toolBar"_s);
    toolBar->setWindowTitle(tr("toolBar"));
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, toolBar);
    toolBar->addAction(m_actionOpen);
    toolBar->addSeparator();
    toolBar->addAction(m_actionSlice);
    toolBar->addAction(m_actionFreedbSearch);
    toolBar->addSeparator();
    toolBar->addAction(m_actionAdd);
    toolBar->addAction(m_actionRemove);
    toolBar->addSeparator();
    toolBar->addAction(m_actionEdit);
}

void MainWindow::createPanes()
{
    QWidget *central = centralWidget();
    m_centralLayout = new QVBoxLayout(central);
    m_centralLayout->setSpacing(0);
    m_centralLayout->setContentsMargins(0, 0, 0, 0);

    addDockWidget(Qt::LeftDockWidgetArea, m_freedbPanel);

    // Parented from the start, so the settings find it before the first file; it joins
    // the layout when the welcome panel goes.
    m_mainSplitter = new QSplitter(Qt::Vertical, central);
    m_mainSplitter->setObjectName(u"mainSplitter"_s);
    m_mainSplitter->setChildrenCollapsible(false);
    m_mainSplitter->hide();

    // The view takes its own clicks, drags and wheel, and keeps the slider in step.
    m_topPane = new QWidget;
    m_topPane->setObjectName(u"topPane"_s);
    m_waveformView = new WaveformWidget(m_topPane);
    m_waveformView->setObjectName(u"waveformView"_s);
    m_waveformView->setMouseTracking(true);
    m_slider = new Slider(Qt::Horizontal);
    m_slider->setObjectName(u"slider"_s);
    m_slider->setFixedHeight(12);
    m_slider->hide();
    m_waveformView->setSlider(m_slider);
    auto *topLayout = new QVBoxLayout(m_topPane);
    topLayout->setSpacing(0);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_slider);
    topLayout->addWidget(m_waveformView);
    m_mainSplitter->addWidget(m_topPane);

    m_controlPane = new QWidget;
    m_controlPane->setObjectName(u"controlPane"_s);
    m_trackView = new ListView(m_controlPane);
    m_trackView->setObjectName(u"trackView"_s);
    m_trackView->setModel(m_trackModel.get());
    m_trackView->setHeader(m_trackHeader);
    // setHeader() leaves the sections unclickable, and the check box needs the clicks.
    m_trackHeader->setSectionsClickable(true);
    connect(m_trackView, &QAbstractItemView::doubleClicked, this, &MainWindow::onEdit);
    connect(m_trackView, &QAbstractItemView::clicked, this, &MainWindow::onTrackViewClicked);
    connect(m_trackView, &QAbstractItemView::entered, this, &MainWindow::onTrackViewClicked);
    m_trackViewController = new TrackViewController(m_trackHeader, m_trackView, m_trackModel.get(),
                                                    m_actionSlice, this);

    auto *folderLabel = new QLabel(tr("Save files in folder"), m_controlPane);
    folderLabel->setContentsMargins(1, 6, 1, 3);
    m_saveFolderEdit = new ButtonLineEdit(u"..."_s, m_controlPane);
    m_saveFolderEdit->setObjectName(u"saveFolderEdit"_s);
    m_saveFolderEdit->setContentsMargins(0, 0, 0, 2);
    connect(m_saveFolderEdit, &ButtonLineEdit::clicked, this, &MainWindow::onChooseSaveFolder);
    // Return in the field slices through the Slice action's signal, even while the action
    // itself is disabled (a click on the only row disables it).
    connect(m_saveFolderEdit, &ButtonLineEdit::enterPressed, m_actionSlice,
            [this] { emit m_actionSlice->triggered(); });
    auto *folderLayout = new QHBoxLayout;
    folderLayout->setSpacing(0);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(m_saveFolderEdit);

    auto *controlLayout = new QVBoxLayout(m_controlPane);
    controlLayout->setSpacing(0);
    controlLayout->setContentsMargins(0, 0, 0, 0);
    controlLayout->addWidget(m_trackView);
    controlLayout->addWidget(folderLabel);
    controlLayout->addLayout(folderLayout);
    m_mainSplitter->addWidget(m_controlPane);
    m_controlPane->hide();
    // Both panes share a larger window: a maximised window shows more rows, not just a
    // taller outline.
    m_mainSplitter->setStretchFactor(0, 1);
    m_mainSplitter->setStretchFactor(1, 1);

    // Floats over the waveform as a child of the window, created after the splitter so it
    // is stacked above it; it places and drags itself and edits or deletes its track.
    m_hoverMarker = new MarkerWidget(this);
    m_hoverMarker->setWaveform(m_waveformView);
}

void MainWindow::registerCommands()
{
    for (QAction *action :
         {m_actionOpen, m_actionFreedbSearch, m_actionAdd, m_hoverMarker->editAction(),
          m_hoverMarker->deleteAction(), m_actionZoomIn, m_actionZoomOut})
        addDisablingCommands(*m_manager, action);
    for (QWidget *widget : {m_topPane, m_controlPane, static_cast<QWidget *>(m_saveFolderEdit)})
        addDisablingCommands(*m_manager, widget);
    for (QAction *action : {m_actionEdit, m_actionRemove, m_actionSlice})
        addSliceEnablingCommands(*m_manager, action);
    addProgressWidgetCommands(*m_manager, m_progressPanel);
    m_manager->addCommand(
        std::make_unique<CallbackCommand>(EndSlice, this, [this] { onSliceEnded(); }));
}

QString MainWindow::baseName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

void MainWindow::setCurrentFile(const QString &path)
{
    m_cueFile.clear();
    m_currentFile = path;
    TrackList::instance()->setSourcePath(path);
    m_selectedRow = NoRow;
    m_saveFolderEdit->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

bool MainWindow::openFile(const QString &path)
{
    // A new index would replace, and free, the one a running slice copies from; a running
    // read would deliver the old file's index under the new file's name.
    if (m_slicing || m_manager->isSlicing()) {
        QMessageBox::information(this, tr("Mavlor"),
                                 tr("Tracks are being written. Open %1 when the slice has "
                                    "finished.")
                                     .arg(QFileInfo(path).fileName()));
        return false;
    }
    if (m_manager->isReading()) {
        QMessageBox::information(
            this, tr("Mavlor"),
            tr("A file is being read. Open %1 when it is done.").arg(QFileInfo(path).fileName()));
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(
            this, tr("Mavlor"),
            tr("Cannot open %1: there is no such file.").arg(QDir::toNativeSeparators(path)));
        return false;
    }

    if (!m_mainSplitter->isVisible()) {
        while (QLayoutItem *item = m_centralLayout->takeAt(0)) {
            if (QWidget *widget = item->widget())
                widget->hide();
            delete item;
        }
        delete m_welcomePanel;
        m_centralLayout->addWidget(m_mainSplitter);
        m_mainSplitter->show();
    }
    setCurrentFile(path);
    m_freedbPanel->setSourceFile(path);
    statusBar()->clearMessage();
    m_progressPanel->label()->setText(tr("Opening..."));
    m_manager->openMp3(path);
    return true;
}

void MainWindow::onOpenFile()
{
    const QString folder =
        m_currentFile.isEmpty() ? QDir::homePath() : QFileInfo(m_currentFile).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Select MP3"), folder, tr("MP3 files (*.mp3)"));
    if (!path.isEmpty())
        openFile(path);
}

void MainWindow::onDroppedFiles(const DroppableWindow::FileList &files)
{
    if (!files.isEmpty())
        openFile(files.first());
}

void MainWindow::onReadProgress(float percent)
{
    const int whole = static_cast<int>(percent);
    if (whole == m_lastReadPercent)
        return;
    // setValue() repaints at once, and a fast read queues a hundred values within a few
    // milliseconds: let them fold into the next paint instead of stalling the event loop.
    QProgressBar *bar = m_progressPanel->progressBar();
    bar->setUpdatesEnabled(false);
    bar->setValue(whole);
    bar->setUpdatesEnabled(true);
    bar->update();
    m_lastReadPercent = whole;
}

void MainWindow::onCueFilesFinded(const FileFinder::FileList &files)
{
    if (files.size() == 1 && baseName(files.first()) == baseName(m_currentFile)) {
        m_cueFile = files.first();
        if (m_waveformView->frameIndex())
            buildTracks();
        return;
    }

    CueDialog dialog(this);
    for (const QString &file : files)
        dialog.addFile(file);
    const bool panelShown = m_progressPanel->isVisible();
    const QPoint panelAt = m_progressPanel->pos();
    // Side by side: the sheets on the left half, the panel on the right half.
    const QRect frame = geometry();
    const int centre = frame.left() + frame.width() / 2;
    if (panelShown) {
        m_cueDialogShown = true;
        m_progressPanel->move(width() / 2 + 10, panelAt.y());
    }
    dialog.resize(300, 300);
    dialog.move(centre - 310, frame.top() + 75);
    dialog.exec();
    m_cueDialogShown = false;
    if (panelShown)
        m_progressPanel->move(panelAt);

    m_cueFile = dialog.selectedFile();
    buildTracks();
}

void MainWindow::onReadyCheapMP3(CheapMP3 *pCheapMP3)
{
    m_actionFreedbSearch->setEnabled(true);
    // The view owns the index from here on.
    m_waveformView->setFrameIndex(std::unique_ptr<CheapMP3>(pCheapMP3));
    m_trackModel->clear();
    if (m_trackHeader->checkBoxState() != Qt::Unchecked)
        m_trackHeader->setCheckState(Qt::Unchecked);
    m_slider->setShowTrackMarks(false);
    if (m_slider->isHidden())
        m_slider->show();
    m_actionZoomIn->setEnabled(true);
    m_actionZoomOut->setEnabled(true);
    buildTracks();
    m_waveformView->updateSliderRange();
    if (pCheapMP3 && pCheapMP3->frameCount() == 0) {
        QMessageBox::warning(this, tr("Mavlor"),
                             tr("%1 holds no MP3 audio that Mavlor can read.")
                                 .arg(QDir::toNativeSeparators(m_currentFile)));
    }
}

void MainWindow::buildTracks()
{
    if (m_controlPane->isHidden()) {
        m_controlPane->show();
        // First run: the waveform gets the larger share, the table keeps room for rows.
        if (!m_splitterRestored) {
            const int height = m_mainSplitter->height();
            m_mainSplitter->setSizes({height * 3 / 5, height - height * 3 / 5});
        }
    }
    if (!m_cueFile.isEmpty()) {
        if (m_waveformView->frameIndex()) {
            m_actionSlice->setEnabled(true);
            m_awaitingCueTracks = true;
            m_manager->parseCue(m_cueFile);
        }
        return;
    }
    Track track;
    track.title = baseName(m_currentFile);
    track.artist = track.title;
    track.number = 0;
    track.start = 0;
    track.end = totalLength();
    TrackList::instance()->setTracks(TrackContainer{track});
    m_trackHeader->setCheckState(Qt::Checked);
}

void MainWindow::onCueParseEnded()
{
    if (!m_awaitingCueTracks)
        return;
    // A sheet without a single track would leave the previous file's tracks in the list
    // behind an empty table; the whole file becomes one track instead.
    m_awaitingCueTracks = false;
    const QString sheet = QFileInfo(m_cueFile).fileName();
    m_cueFile.clear();
    buildTracks();
    statusBar()->showMessage(tr("%1 holds no tracks; the whole file is one track.").arg(sheet));
}

void MainWindow::onFreedbSearch(bool on)
{
    if (on) {
        m_freedbPanel->show();
        return;
    }
    m_freedbPanel->hide();
    m_freedbPanel->onClose();
}

void MainWindow::onFreedbSearchClose()
{
    m_actionFreedbSearch->setChecked(false);
}

void MainWindow::onReadyTracks(const TrackContainer &tracks)
{
    if (!m_waveformView->frameIndex())
        return;
    m_awaitingCueTracks = false;
    m_waveformView->update();
    TrackList::instance()->setTracks(tracks);
    if (m_trackHeader->checkBoxState() != Qt::Checked)
        m_trackHeader->setCheckState(Qt::Checked);
    m_slider->setShowTrackMarks(true);
}

void MainWindow::onSliceProgress(SliceProgress progress)
{
    const int count = qMax(1, TrackList::instance()->count());
    const double share = 100.0 / count;
    const double value = share * (progress.track - 1) + progress.percent / 100.0 * share;
    m_progressPanel->progressBar()->setValue(static_cast<int>(value));
    m_progressPanel->label()->setText(tr("Writing %1 track.").arg(progress.track));
}

void MainWindow::onChooseSaveFolder()
{
    const QString text = m_saveFolderEdit->text();
    const QString start = QDir::cleanPath(text).isEmpty() ? QString() : text;
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Choose folder"), start,
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        m_saveFolderEdit->setText(QDir::toNativeSeparators(folder));
}

void MainWindow::onTrackModelDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (topLeft.internalPointer() != bottomRight.internalPointer())
        return;
    int checked = 0;
    for (int row = 0; row < m_trackModel->rowCount(); ++row) {
        if (m_trackModel->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
            ++checked;
    }
    const int count = TrackList::instance()->count();
    const int state = checked == 0 ? Qt::Unchecked
        : checked == count         ? Qt::Checked
                                   : Qt::PartiallyChecked;
    // Only the box follows the rows here; Slice and the rows stay as they are.
    const QSignalBlocker blocker(m_trackHeader);
    m_trackHeader->setCheckState(state);
}

void MainWindow::onAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

bool MainWindow::prepareFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        QMessageBox::warning(this, tr("Mavlor"),
                             tr("Cannot save the tracks in %1: it is a file, not a folder.")
                                 .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    if (info.isDir())
        return true;
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (error || !QFileInfo(folder).isDir()) {
        const QString reason =
            error ? QString::fromLocal8Bit(error.message().c_str()) : tr("it could not be made");
        QMessageBox::warning(
            this, tr("Mavlor"),
            tr("Cannot create the folder %1: %2").arg(QDir::toNativeSeparators(folder), reason));
        return false;
    }
    return true;
}

void MainWindow::onSlice()
{
    if (m_slicing)
        return;
    QString text = QDir::fromNativeSeparators(m_saveFolderEdit->text().trimmed());
    if (text == u"~"_s || text.startsWith(u"~/"_s))
        text = QDir::homePath() + text.mid(1);
    QString folder = QDir::cleanPath(text);
    // A relative folder is taken beside the MP3, not in wherever Mavlor was started from.
    if (!folder.isEmpty() && QDir::isRelativePath(folder) && !m_currentFile.isEmpty())
        folder = QDir::cleanPath(QFileInfo(m_currentFile).absoluteDir().filePath(folder));

    QList<int> rows;
    for (int row = 0; row < m_trackModel->rowCount(); ++row) {
        if (m_trackModel->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
            rows.append(row);
    }
    if (rows.isEmpty() || !m_waveformView->frameIndex()) {
        statusBar()->showMessage(tr("Tick the tracks to write first."));
        return;
    }
    if (folder.isEmpty()) {
        statusBar()->showMessage(tr("Choose a folder to save the tracks in."));
        return;
    }
    if (!prepareFolder(folder))
        return;

    TrackContainer tracks;
    for (int row : std::as_const(rows))
        tracks.append(TrackList::instance()->trackAt(row));
    m_slicing = true;
    m_sliceFolder = folder;
    m_sliceCount = static_cast<int>(tracks.size());
    m_writtenCount = 0;
    m_failures.clear();
    statusBar()->clearMessage();
    m_manager->slice(folder, tracks, m_waveformView->frameIndex());
}

void MainWindow::onTrackFailed(int track, const QString &path, const QString &reason)
{
    if (!m_slicing)
        return;
    m_failures.append(tr("Track %1 (%2): %3").arg(track).arg(QFileInfo(path).fileName(), reason));
}

void MainWindow::onTrackWritten(int, const QString &)
{
    if (m_slicing)
        ++m_writtenCount;
}

void MainWindow::onSliceEnded()
{
    if (!m_slicing)
        return;
    m_slicing = false;
    const QString folder = QDir::toNativeSeparators(m_sliceFolder);
    const QString written = m_writtenCount == 1
        ? tr("1 track written to %1").arg(folder)
        : tr("%1 tracks written to %2").arg(m_writtenCount).arg(folder);
    if (m_failures.isEmpty() && m_writtenCount < m_sliceCount) {
        statusBar()->showMessage(tr("Stopped: %1 of %2 tracks written to %3")
                                     .arg(m_writtenCount)
                                     .arg(m_sliceCount)
                                     .arg(folder));
        return;
    }
    statusBar()->showMessage(written);
    if (m_failures.isEmpty())
        return;
    const QString text =
        tr("These tracks were not written:\n\n%1\n\n%2.").arg(m_failures.join(u'\n'), written);
    // After the other end-of-slice commands have enabled the window again.
    QMetaObject::invokeMethod(
        this, [this, text] { QMessageBox::warning(this, tr("Mavlor"), text); },
        Qt::QueuedConnection);
}

void MainWindow::onAdd()
{
    TrackDataDialog::editTrack(this, tr("Add"), NoRow, QString(), QString(), QString(), QString());
}

void MainWindow::onEdit()
{
    TrackDataDialog::editTrack(this, tr("Edit"), m_selectedRow, QString(), QString(), QString(),
                               QString());
}

void MainWindow::onRemove()
{
    TrackList *list = TrackList::instance();
    list->removeTrack(m_selectedRow);
    const int left = list->count();
    m_actionSlice->setEnabled(left > 1);
    if (left == 1)
        m_actionRemove->setEnabled(false);
    if (m_selectedRow == left)
        --m_selectedRow;
}

void MainWindow::onTrackViewClicked(const QModelIndex &index)
{
    if (!m_actionEdit->isEnabled())
        m_actionEdit->setEnabled(true);
    const bool several = m_trackModel->rowCount() > 1;
    m_actionRemove->setEnabled(several);
    m_actionSlice->setEnabled(several);
    m_selectedRow = index.row();
}

int MainWindow::totalLength() const
{
    return m_waveformView->totalLength();
}

void MainWindow::tracksRemoved(int first, int last)
{
    m_trackModel->removeRows(first, last - first + 1);
}

void MainWindow::tracksInserted(int first, int last)
{
    const TrackList *list = TrackList::instance();
    for (int i = first; i <= last; ++i)
        m_trackModel->appendItem(TrackItem::forTrack(list->trackAt(i)));
    m_slider->setShowTrackMarks(true);
    m_slider->update();
}

void MainWindow::tracksChanged(int first, int last)
{
    const TrackList *list = TrackList::instance();
    for (int i = first; i <= last; ++i) {
        const Track track = list->trackAt(i);
        const QVariant values[] = {track.artist, track.title, TimeText::format(track.start),
                                   TimeText::format(track.end), TimeText::format(track.length())};
        for (int column = trackColumnArtist; column <= trackColumnLength; ++column)
            m_trackModel->setData(m_trackModel->index(i, column),
                                  values[column - trackColumnArtist], Qt::DisplayRole);
    }
    m_slider->update();
    m_waveformView->update();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    DroppableWindow::closeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    DroppableWindow::resizeEvent(event);
    if (!m_cueDialogShown)
        centreProgressPanel();
}

void MainWindow::centreProgressPanel()
{
    // In the window's own coordinates: the panel is a child floating over the panes.
    m_progressPanel->move(width() / 2 - m_progressPanel->width() / 2,
                          height() / 2 - m_progressPanel->height() / 2);
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
    // An empty or damaged blob is refused and leaves the window as built.
    const QByteArray geometry = settings.value(u"geometry"_s, QByteArray()).toByteArray();
    if (isUsableGeometry(geometry))
        restoreGeometry(geometry);
    restoreState(settings.value(u"state"_s, QByteArray()).toByteArray(), 0);
    settings.endGroup();
    settings.beginGroup(u"main.splitter"_s);
    if (auto *splitter = findChild<QSplitter *>(u"mainSplitter"_s)) {
        m_splitterRestored =
            splitter->restoreState(settings.value(u"state"_s, QByteArray()).toByteArray());
        const QByteArray splitterGeometry =
            settings.value(u"geometry"_s, QByteArray()).toByteArray();
        if (isUsableGeometry(splitterGeometry))
            splitter->restoreGeometry(splitterGeometry);
    }
    settings.endGroup();
    settings.endGroup();
    m_currentFile = settings.value(u"recent.file"_s, QString()).toString();
    // The saved state may show the dock; the panel always starts closed, like its action.
    m_freedbPanel->hide();
}
