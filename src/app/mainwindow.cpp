#include "app/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDataStream>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/aboutdialog.h"
#include "app/albumpane.h"
#include "app/buttonlineedit.h"
#include "app/freedbsearchwidget.h"
#include "app/progresswidget.h"
#include "app/silencedialog.h"
#include "app/welcomepanel.h"
#include "cue/cuedialog.h"
#include "mp3/cheapmp3.h"
#include "playback/previewplayer.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"
#include "tracks/trackdatadialog.h"
#include "tracks/trackheader.h"
#include "tracks/trackitem.h"
#include "tracks/tracklist.h"
#include "tracks/trackviewcontroller.h"
#include "waveform/markerwidget.h"
#include "waveform/slider.h"
#include "waveform/waveformwidget.h"
#include "work/mp3manager.h"
#include "work/session.h"

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
    , m_session(new Session(m_manager, this))
    , m_progressPanel(new ProgressWidget(this))
    , m_player(new PreviewPlayer(this))
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
    connect(m_trackView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // The selected track is marked and brought into view in the waveform.
        const int row = selectedRow();
        m_waveformView->showTrack(row == NoRow ? -1 : row);
        updateActions();
    });
    connect(m_progressPanel, &ProgressWidget::stopped, m_session, &Session::stop);
    connect(m_session, &Session::stateChanged, this, &MainWindow::updateActions);
    connect(m_session, &Session::fileOpened, this, &MainWindow::onFileOpened);
    connect(m_session, &Session::openFailed, this, &MainWindow::onOpenFailed);
    connect(m_session, &Session::sheetChoiceNeeded, this, &MainWindow::onSheetChoiceNeeded);
    connect(m_session, &Session::tracksBuilt, this, &MainWindow::onTracksBuilt);
    connect(m_session, &Session::readProgress, this, &MainWindow::onReadProgress);
    connect(m_session, &Session::sliceProgress, this, &MainWindow::onSliceProgress);
    connect(m_session, &Session::sliceEnded, this, &MainWindow::onSliceEnded);
    connect(m_session, &Session::historyChanged, this, &MainWindow::updateActions);
    connect(m_session, &Session::silenceProgress, this, &MainWindow::onReadProgress);
    connect(m_session, &Session::silencesFound, this, &MainWindow::onSilencesFound);
    connect(m_session, &Session::silenceSearchFailed, this, [this](const QString &reason) {
        statusBar()->showMessage(reason.isEmpty() ? tr("The search for silences was stopped.")
                                                  : tr("No silences found: %1").arg(reason));
    });
    connect(m_player, &PreviewPlayer::positionChanged, m_waveformView,
            &WaveformWidget::setPlayPosition);
    connect(m_player, &PreviewPlayer::stopped, m_waveformView,
            [this] { m_waveformView->setPlayPosition(-1); });
    connect(m_player, &PreviewPlayer::failed, this,
            [this](const QString &reason) { statusBar()->showMessage(reason); });
    connect(m_hoverMarker, &MarkerWidget::playAroundRequested, this, [this](int boundaryMs) {
        m_player->play(m_session->sharedFrameIndex(), boundaryMs - 2000, boundaryMs + 2000);
    });
    connect(m_session, &Session::albumChanged, this,
            [this] { m_albumPane->setAlbum(m_session->album()); });
    connect(m_hoverMarker, &MarkerWidget::dragFinished, m_session, &Session::endGesture);
    // The rows on either side of the boundary under the pointer light up.
    connect(m_waveformView, &WaveformWidget::boundaryHovered, this, [this](int index) {
        if (index > 0)
            m_trackView->setHighlightedRows(index - 1, index);
        else
            m_trackView->setHighlightedRows(0, -1);
    });

    restoreSettings();

    m_welcomePanel = new WelcomePanel(m_actionOpen, centralWidget());
    m_centralLayout->addWidget(m_welcomePanel);

    addSuffix("mp3");
    connect(this, &DroppableWindow::filesDropped, this, &MainWindow::onDroppedFiles);

    TrackList::instance()->setUpdateListener(this);
    updateActions();
}

MainWindow::~MainWindow()
{
    // The track list outlives the window; it must not call back into it. The work manager
    // may already be gone at this point and is not touched.
    TrackList::instance()->setUpdateListener(nullptr);
    m_trackView->setModel(nullptr);
}

void MainWindow::createActions()
{
    m_actionOpen = makeAction(this, "actionOpen", tr("Open"), u":/open"_s);
    m_actionOpen->setShortcut(QKeySequence::Open);
    setTip(m_actionOpen, tr("Open an MP3 file"));
    m_actionSaveSheet = makeAction(this, "actionSaveSheet", tr("Save sheet..."), QString());
    m_actionSaveSheet->setShortcut(QKeySequence::Save);
    connect(m_actionSaveSheet, &QAction::triggered, this, &MainWindow::onSaveSheet);
    m_actionExit = makeAction(this, "actionExit", tr("Exit"), QString());
    m_actionExit->setShortcut(QKeySequence::Quit);
    m_actionAbout = makeAction(this, "actionAbout", tr("About"), u":/about"_s);
    m_actionSlice = makeAction(this, "actionSlice", tr("Slice"), u":/slice"_s);
    m_actionSlice->setShortcuts({QKeySequence(u"Ctrl+Return"_s), QKeySequence(u"Ctrl+Enter"_s)});
    setTip(m_actionSlice, tr("Write the ticked tracks into the folder"));
    m_actionAdd = makeAction(this, "actionAdd", tr("Add"), u":/add"_s);
    m_actionAdd->setShortcut(Qt::Key_Insert);
    setTip(m_actionAdd, tr("Add a track"));
    m_actionRemove = makeAction(this, "actionRemove", tr("Remove"), u":/delete"_s);
    m_actionRemove->setShortcut(QKeySequence::Delete);
    setTip(m_actionRemove, tr("Remove the selected track"));
    m_actionEdit = makeAction(this, "actionEdit", tr("Edit"), u":/edit"_s);
    m_actionEdit->setShortcut(Qt::Key_F2);
    setTip(m_actionEdit, tr("Edit the selected track"));
    m_actionFreedbSearch = makeAction(this, "actionFreedbSearch", tr("Search..."), u":/search"_s);
    m_actionFreedbSearch->setCheckable(true);
    m_actionFreedbSearch->setShortcut(QKeySequence::Find);
    m_actionSampleExact = makeAction(this, "actionSampleExact", tr("Sample-exact cuts"), QString());
    m_actionSampleExact->setCheckable(true);
    m_actionSampleExact->setToolTip(
        tr("Cut each track to the sample, for gapless play; frames stay as they are"));
    connect(m_actionSampleExact, &QAction::toggled, m_session, &Session::setSampleExact);
    m_actionSilences = makeAction(this, "actionSilences", tr("Find silences"), u":/silences"_s);
    m_actionSilences->setShortcut(QKeySequence(u"Ctrl+L"_s));
    setTip(m_actionSilences, tr("Propose tracks at the silences"));
    connect(m_actionSilences, &QAction::triggered, this, &MainWindow::onFindSilences);
    m_actionPlay = makeAction(this, "actionPlay", tr("Play"), u":/play"_s);
    m_actionPlay->setShortcut(Qt::Key_Space);
    setTip(m_actionPlay, tr("Play from the last click in the waveform, or stop"));
    connect(m_actionPlay, &QAction::triggered, this, [this] {
        if (m_player->isPlaying())
            m_player->stop();
        else
            m_player->play(m_session->sharedFrameIndex(),
                           std::max(m_waveformView->clickedTime(), 0));
    });
    setTip(m_actionFreedbSearch, tr("Search MusicBrainz or freedb for the album"));

    // Shortcuts only, not in the menus: the waveform's wheel does the same.
    m_actionZoomIn = makeAction(this, "actionZoomIn", tr("Zoom In"), QString());
    m_actionZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(u"Ctrl+="_s)});
    m_actionZoomOut = makeAction(this, "actionZoomOut", tr("Zoom Out"), QString());
    m_actionZoomOut->setShortcut(QKeySequence::ZoomOut);
    m_actionFit = makeAction(this, "actionFit", tr("Fit"), QString());
    m_actionFit->setShortcut(QKeySequence(u"Ctrl+0"_s));
    addAction(m_actionFit);
    addAction(m_actionZoomIn);
    addAction(m_actionZoomOut);
    m_actionUndo = makeAction(this, "actionUndo", tr("Undo"), QString());
    m_actionUndo->setShortcut(QKeySequence::Undo);
    m_actionRedo = makeAction(this, "actionRedo", tr("Redo"), QString());
    m_actionRedo->setShortcuts({QKeySequence(u"Ctrl+Shift+Z"_s), QKeySequence::Redo});
    connect(m_actionUndo, &QAction::triggered, this, [this] { m_session->undo(); });
    connect(m_actionRedo, &QAction::triggered, this, [this] { m_session->redo(); });

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
    connect(m_actionFit, &QAction::triggered, this, [this] { m_waveformView->fitToView(); });
}

void MainWindow::createMenusAndToolBar()
{
    auto *central = new QWidget(this);
    central->setObjectName(u"centralWidget"_s);
    setCentralWidget(central);

    // After a slice, the folder is one click away in the file manager.
    m_openFolderButton = new QPushButton(tr("Open folder"), this);
    m_openFolderButton->setObjectName(u"openFolderButton"_s);
    m_openFolderButton->setFlat(true);
    m_openFolderButton->hide();
    statusBar()->addPermanentWidget(m_openFolderButton);
    connect(m_openFolderButton, &QPushButton::clicked, this, [this] {
        const QString folder = m_openFolderButton->property("folder").toString();
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    });

    auto *bar = new QMenuBar(this);
    bar->setObjectName(u"menuBar"_s);
    bar->setGeometry(0, 0, 640, 18);
    setMenuBar(bar);
    QMenu *fileMenu = bar->addMenu(tr("File"));
    fileMenu->setObjectName(u"menuFile"_s);
    QMenu *editMenu = bar->addMenu(tr("Edit"));
    editMenu->setObjectName(u"menuEdit"_s);
    QMenu *helpMenu = bar->addMenu(tr("Help"));
    helpMenu->setObjectName(u"menuAbout"_s);
    fileMenu->addAction(m_actionOpen);
    m_recentMenu = fileMenu->addMenu(tr("Recent files"));
    m_recentMenu->setObjectName(u"menuRecent"_s);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    fileMenu->addAction(m_actionSaveSheet);
    fileMenu->addAction(m_actionSlice);
    fileMenu->addAction(m_actionSampleExact);
    fileMenu->addAction(m_actionFreedbSearch);
    fileMenu->addAction(m_actionSilences);
    fileMenu->addSeparator();
    fileMenu->addAction(m_actionExit);
    editMenu->addAction(m_actionUndo);
    editMenu->addAction(m_actionRedo);
    editMenu->addSeparator();
    editMenu->addAction(m_actionAdd);
    editMenu->addAction(m_actionEdit);
    editMenu->addAction(m_actionRemove);
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
    toolBar->addAction(m_actionSilences);
    toolBar->addAction(m_actionPlay);
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
    m_trackView->setSelectionMode(QAbstractItemView::SingleSelection);
    // A right click selects its row (the view does that) and offers what acts on it.
    m_trackView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_trackView, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (!m_trackView->indexAt(at).isValid())
            return;
        QMenu menu(this);
        menu.addAction(m_actionEdit);
        menu.addAction(m_actionRemove);
        menu.addAction(tr("Play"), this, [this] {
            const int row = selectedRow();
            if (row != NoRow)
                m_player->play(m_session->sharedFrameIndex(), TrackList::instance()->startOf(row),
                               TrackList::instance()->trackAt(row).end);
        });
        menu.exec(m_trackView->viewport()->mapToGlobal(at));
    });
    connect(m_trackView, &QAbstractItemView::doubleClicked, this, &MainWindow::onEdit);
    m_trackViewController =
        new TrackViewController(m_trackHeader, m_trackView, m_trackModel.get(), this);

    auto *folderLabel = new QLabel(tr("Save files in folder"), m_controlPane);
    folderLabel->setContentsMargins(1, 6, 1, 3);
    m_saveFolderEdit = new ButtonLineEdit(u"..."_s, m_controlPane);
    m_saveFolderEdit->setObjectName(u"saveFolderEdit"_s);
    m_saveFolderEdit->setContentsMargins(0, 0, 0, 2);
    connect(m_saveFolderEdit, &ButtonLineEdit::clicked, this, &MainWindow::onChooseSaveFolder);
    connect(m_saveFolderEdit, &ButtonLineEdit::enterPressed, this, [this] {
        if (m_actionSlice->isEnabled())
            m_actionSlice->trigger();
    });
    auto *folderLayout = new QHBoxLayout;
    folderLayout->setSpacing(0);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(m_saveFolderEdit);

    auto *controlLayout = new QVBoxLayout(m_controlPane);
    controlLayout->setSpacing(0);
    controlLayout->setContentsMargins(0, 0, 0, 0);
    m_albumPane = new AlbumPane(m_controlPane);
    connect(m_albumPane, &AlbumPane::edited, this,
            [this] { m_session->setAlbumEdits(m_albumPane->applyTo(m_session->albumEdits())); });
    controlLayout->addWidget(m_albumPane);
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

QString MainWindow::currentFile() const
{
    return m_session->currentFile();
}

QString MainWindow::recentFile() const
{
    return currentFile().isEmpty() ? m_recentFile : currentFile();
}

int MainWindow::selectedRow() const
{
    const QModelIndexList rows = m_trackView->selectionModel()->selectedRows();
    return rows.isEmpty() ? NoRow : rows.first().row();
}

bool MainWindow::openFile(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        QMessageBox::warning(
            this, tr("Mavlor"),
            tr("Cannot open %1: there is no such file.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    QString why;
    if (!m_session->open(path, &why)) {
        QMessageBox::information(this, tr("Mavlor"), why);
        return false;
    }
    statusBar()->clearMessage();
    m_progressPanel->label()->setText(tr("Opening..."));
    return true;
}

void MainWindow::onOpenFile()
{
    const QString known = recentFile();
    const QString folder = known.isEmpty() ? QDir::homePath() : QFileInfo(known).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Select MP3"), folder, tr("MP3 files (*.mp3)"));
    if (!path.isEmpty())
        openFile(path);
}

void MainWindow::onDroppedFiles(const DroppableWindow::FileList &files)
{
    if (files.isEmpty())
        return;
    // After the drop has returned: a message box inside it would hold the drag source.
    const QString path = files.first();
    QMetaObject::invokeMethod(
        this, [this, path] { openFile(path); }, Qt::QueuedConnection);
}

void MainWindow::showPanes()
{
    if (m_mainSplitter->isVisible())
        return;
    while (QLayoutItem *item = m_centralLayout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            widget->hide();
        delete item;
    }
    delete m_welcomePanel;
    m_centralLayout->addWidget(m_mainSplitter);
    m_mainSplitter->show();
    m_controlPane->show();
    // First run: the waveform gets the larger share, the table keeps room for rows.
    if (!m_splitterRestored) {
        const int height = m_mainSplitter->height();
        m_mainSplitter->setSizes({height * 3 / 5, height - height * 3 / 5});
    }
}

void MainWindow::onSaveSheet()
{
    const QFileInfo mp3(currentFile());
    const QString suggested = mp3.absoluteDir().filePath(mp3.completeBaseName() + u".cue"_s);
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save sheet"), suggested, tr("CUE sheets (*.cue)"));
    if (path.isEmpty())
        return;
    QString error;
    if (m_session->saveSheet(path, &error))
        statusBar()->showMessage(tr("Sheet saved as %1").arg(QDir::toNativeSeparators(path)));
    else
        QMessageBox::warning(this, tr("Mavlor"), error);
}

void MainWindow::fillRecentMenu()
{
    m_recentMenu->clear();
    // Files that went away since are dropped from the list.
    QStringList kept;
    for (const QString &path : std::as_const(m_recentFiles)) {
        if (QFileInfo(path).isFile())
            kept << path;
    }
    m_recentFiles = kept;
    for (const QString &path : std::as_const(m_recentFiles)) {
        QAction *action = m_recentMenu->addAction(QFileInfo(path).fileName());
        action->setToolTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    if (m_recentFiles.isEmpty())
        m_recentMenu->addAction(tr("No recent files"))->setEnabled(false);
}

void MainWindow::onFindSilences()
{
    SilenceDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_player->stop();
    QString why;
    if (m_session->findSilences(dialog.threshold(), dialog.minimum(), &why))
        m_progressPanel->label()->setText(tr("Finding silences..."));
    else
        statusBar()->showMessage(why);
}

void MainWindow::onSilencesFound(const QList<int> &cuts)
{
    m_waveformView->setShadedRegions(m_session->silences());
    const qsizetype count = m_session->silences().size();
    // Edits the user made are not thrown away unasked, though Undo would bring them back.
    if (m_session->canUndo()
        && QMessageBox::question(
               this, tr("Mavlor"),
               tr("Replace the tracks with the %1 proposed at the silences?").arg(cuts.size() + 1))
            != QMessageBox::Yes) {
        statusBar()->showMessage(tr("%1 silences found; the tracks are as they were.").arg(count));
        return;
    }
    m_session->cutAt(cuts);
    updateHeaderCheckState();
    statusBar()->showMessage(
        tr("%1 silences found: %2 tracks proposed.").arg(count).arg(cuts.size() + 1));
}

void MainWindow::onFileOpened()
{
    m_player->stop();
    const QString path = currentFile();
    constexpr qsizetype kRecentFiles = 10;
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kRecentFiles)
        m_recentFiles.removeLast();
    m_openFolderButton->hide();
    showPanes();
    m_waveformView->setFrameIndex(m_session->sharedFrameIndex());
    m_waveformView->updateSliderRange();
    m_slider->setShowTrackMarks(false);
    m_saveFolderEdit->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    m_freedbPanel->setSourceFile(path);
    m_freedbPanel->setFileLength(m_session->totalLength());
    m_trackHeader->setFileLength(m_session->totalLength());
    setWindowTitle(tr("%1 — Mavlor").arg(QFileInfo(path).fileName()));
    statusBar()->clearMessage();
}

void MainWindow::onOpenFailed(const QString &path, const QString &reason)
{
    if (reason.isEmpty()) {
        statusBar()->showMessage(
            tr("Stopped reading %1.").arg(QDir::toNativeSeparators(QFileInfo(path).fileName())));
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, reason] { QMessageBox::warning(this, tr("Mavlor"), reason); },
        Qt::QueuedConnection);
}

void MainWindow::onSheetChoiceNeeded(const QStringList &sheets)
{
    // Out of the session's signal: the dialog runs an event loop of its own.
    QMetaObject::invokeMethod(
        this,
        [this, sheets] {
            CueDialog dialog(this);
            for (const QString &file : sheets)
                dialog.addFile(file);
            dialog.resize(300, 300);
            const QRect frame = geometry();
            dialog.move(frame.left() + frame.width() / 2 - 150, frame.top() + 75);
            dialog.exec();
            m_session->chooseSheet(dialog.selectedFile());
        },
        Qt::QueuedConnection);
}

void MainWindow::onTracksBuilt(const QString &note)
{
    updateHeaderCheckState();
    m_slider->setShowTrackMarks(TrackList::instance()->count() > 1);
    if (!note.isEmpty())
        statusBar()->showMessage(note);
}

void MainWindow::onReadyTracks(const TrackContainer &tracks, const Album &album)
{
    m_session->replaceTracks(tracks, nullptr, album);
    if (m_session->canUndo())
        statusBar()->showMessage(tr("The track list was replaced; Undo brings the previous one "
                                    "back."));
    updateHeaderCheckState();
    m_slider->setShowTrackMarks(true);
}

void MainWindow::onReadProgress(int percent)
{
    // setValue() repaints at once, and a fast read queues a hundred values within a few
    // milliseconds: let them fold into the next paint instead of stalling the event loop.
    QProgressBar *bar = m_progressPanel->progressBar();
    if (bar->value() == percent)
        return;
    bar->setUpdatesEnabled(false);
    bar->setValue(percent);
    bar->setUpdatesEnabled(true);
    bar->update();
}

void MainWindow::onSliceProgress(int percent, int track)
{
    m_progressPanel->progressBar()->setValue(percent);
    m_progressPanel->label()->setText(tr("Writing %1 track.").arg(track));
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

void MainWindow::onChooseSaveFolder()
{
    const QString text = m_saveFolderEdit->text();
    const QString start = QDir::cleanPath(text).isEmpty() ? QString() : text;
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Choose folder"), start,
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        m_saveFolderEdit->setText(QDir::toNativeSeparators(folder));
}

int MainWindow::tickedCount() const
{
    const TrackContainer tracks = TrackList::instance()->allTracks();
    return static_cast<int>(std::count_if(tracks.begin(), tracks.end(),
                                          [](const Track &track) { return track.ticked; }));
}

void MainWindow::onTrackModelDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (topLeft.column() == 0) {
        for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
            const bool ticked =
                m_trackModel->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
            TrackList::instance()->setTicked(row, ticked);
        }
    }
    updateHeaderCheckState();
    updateActions();
}

void MainWindow::updateHeaderCheckState()
{
    const int checked = tickedCount();
    const int count = TrackList::instance()->count();
    const int state = checked == 0 ? Qt::Unchecked
        : checked == count         ? Qt::Checked
                                   : Qt::PartiallyChecked;
    // Only the box follows the rows here.
    const QSignalBlocker blocker(m_trackHeader);
    m_trackHeader->setCheckState(state);
}

void MainWindow::updateActions()
{
    const bool busy = m_session->isBusy();
    const bool open = m_session->frameIndex() != nullptr;
    const bool idleWithFile = open && !busy;
    const bool rowSelected = selectedRow() != NoRow;

    m_actionOpen->setEnabled(!busy);
    m_actionSlice->setEnabled(m_session->canSlice() && tickedCount() > 0);
    m_actionAdd->setEnabled(idleWithFile);
    m_actionEdit->setEnabled(idleWithFile && rowSelected);
    m_actionRemove->setEnabled(idleWithFile && rowSelected && TrackList::instance()->count() > 1);
    m_actionFreedbSearch->setEnabled(idleWithFile);
    m_actionSilences->setEnabled(idleWithFile);
    m_actionPlay->setEnabled(idleWithFile);
    m_actionZoomIn->setEnabled(idleWithFile);
    m_actionZoomOut->setEnabled(idleWithFile);
    m_actionFit->setEnabled(idleWithFile);
    m_actionSaveSheet->setEnabled(idleWithFile);
    m_actionUndo->setEnabled(m_session->canUndo());
    m_actionRedo->setEnabled(m_session->canRedo());
    m_hoverMarker->editAction()->setEnabled(idleWithFile);
    m_hoverMarker->deleteAction()->setEnabled(idleWithFile);
    m_hoverMarker->playAroundAction()->setEnabled(idleWithFile);
    for (QWidget *pane : {m_topPane, m_controlPane, static_cast<QWidget *>(m_saveFolderEdit)})
        pane->setEnabled(!busy);

    // The progress panel shows while work runs, its bar starting from nothing.
    if (busy && !m_wasBusy) {
        m_progressPanel->progressBar()->setValue(0);
        if (m_session->state() == Session::State::Slicing)
            m_progressPanel->label()->setText(tr("Writing 1 track."));
        centreProgressPanel();
        m_progressPanel->show();
        m_progressPanel->raise();
    } else if (!busy && m_wasBusy) {
        m_progressPanel->hide();
    }
    m_wasBusy = busy;
}

void MainWindow::onAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::onSlice()
{
    TrackContainer tracks;
    for (const Track &track : TrackList::instance()->allTracks()) {
        if (track.ticked)
            tracks.append(track);
    }
    // Tracks already in the folder are not written over without asking.
    bool keepExisting = false;
    const QStringList existing = m_session->existingFiles(m_saveFolderEdit->text(), tracks);
    if (!existing.isEmpty()) {
        QMessageBox question(QMessageBox::Question, tr("Mavlor"),
                             existing.size() == 1
                                 ? tr("A track is already in the folder:")
                                 : tr("%1 tracks are already in the folder:").arg(existing.size()),
                             QMessageBox::Cancel, this);
        question.setInformativeText(existing.mid(0, 8).join(u'\n')
                                    + (existing.size() > 8 ? u"\n…"_s : QString()));
        QPushButton *overwrite = question.addButton(tr("Overwrite"), QMessageBox::AcceptRole);
        QPushButton *keep = question.addButton(tr("Keep both"), QMessageBox::AcceptRole);
        question.setDefaultButton(keep);
        question.exec();
        if (question.clickedButton() != overwrite && question.clickedButton() != keep)
            return;
        keepExisting = question.clickedButton() == keep;
    }
    QString why;
    m_player->stop();
    if (m_session->slice(m_saveFolderEdit->text(), tracks, &why, keepExisting)) {
        statusBar()->clearMessage();
        return;
    }
    // A folder that cannot be used needs the user's attention; a missing choice does not.
    if (why.startsWith(tr("Cannot")))
        QMessageBox::warning(this, tr("Mavlor"), why);
    else
        statusBar()->showMessage(why);
}

void MainWindow::onSliceEnded()
{
    const Session::SliceSummary summary = m_session->lastSlice();
    const QString folder = QDir::toNativeSeparators(summary.folder);
    const QString written = summary.written == 1
        ? tr("1 track written to %1").arg(folder)
        : tr("%1 tracks written to %2").arg(summary.written).arg(folder);
    if (summary.stopped) {
        statusBar()->showMessage(tr("Stopped: %1 of %2 tracks written to %3")
                                     .arg(summary.written)
                                     .arg(summary.asked)
                                     .arg(folder));
        return;
    }
    statusBar()->showMessage(written);
    m_openFolderButton->setProperty("folder", summary.folder);
    m_openFolderButton->show();
    QStringList parts;
    if (!summary.failures.isEmpty())
        parts << tr("These tracks were not written:\n\n%1").arg(summary.failures.join(u'\n'));
    if (!summary.warnings.isEmpty())
        parts << tr("These tracks were written, but:\n\n%1").arg(summary.warnings.join(u'\n'));
    if (parts.isEmpty())
        return;
    const QString text = tr("%1\n\n%2.").arg(parts.join(u"\n\n"_s), written);
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
    const int row = selectedRow();
    if (row != NoRow)
        TrackDataDialog::editTrack(this, tr("Edit"), row, QString(), QString(), QString(),
                                   QString());
}

void MainWindow::onRemove()
{
    const int row = selectedRow();
    if (row == NoRow)
        return;
    TrackList::instance()->removeTrack(row);
    // The neighbour that took over the time is the one highlighted next.
    const int next = std::min(row, TrackList::instance()->count() - 1);
    m_trackView->setCurrentIndex(m_trackModel->index(next, 0));
}

void MainWindow::tracksRemoved(int first, int last)
{
    m_trackModel->removeRows(first, last - first + 1);
    m_waveformView->update();
    updateActions();
}

void MainWindow::tracksInserted(int first, int last)
{
    const TrackList *list = TrackList::instance();
    for (int i = first; i <= last; ++i)
        m_trackModel->appendItem(TrackItem::forTrack(list->trackAt(i), m_session->totalLength()));
    m_slider->setShowTrackMarks(true);
    m_slider->update();
    m_waveformView->update();
    updateHeaderCheckState();
    updateActions();
}

void MainWindow::tracksChanged(int first, int last)
{
    const TrackList *list = TrackList::instance();
    const int total = m_session->totalLength();
    for (int i = first; i <= last; ++i) {
        // The cells a new row would show. The tick goes before the number: the number's
        // change hands the row's tick back to the list, which must be the new one by then.
        const std::unique_ptr<TrackItem> row = TrackItem::forTrack(list->trackAt(i), total);
        for (int column = trackColumnArtist; column <= trackColumnLength; ++column)
            m_trackModel->setData(m_trackModel->index(i, column),
                                  row->data(column, Qt::DisplayRole), Qt::DisplayRole);
        m_trackModel->setData(m_trackModel->index(i, 0), row->data(0, Qt::CheckStateRole),
                              Qt::CheckStateRole);
        m_trackModel->setData(m_trackModel->index(i, 0), row->data(0, Qt::DisplayRole),
                              Qt::DisplayRole);
    }
    m_slider->update();
    m_waveformView->update();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveSettings();
    m_player->stop();
    // Quitting stops the work and waits for it: a track half written is finished or removed,
    // never left under a temporary name.
    if (m_session->isBusy()) {
        m_session->stop();
        m_manager->stopAndWait(10000);
    }
    DroppableWindow::closeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    DroppableWindow::resizeEvent(event);
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
    settings.setValue(u"recent.file"_s, recentFile());
    settings.setValue(u"recent.files"_s, m_recentFiles);
    settings.setValue(u"slice/sample.exact"_s, m_actionSampleExact->isChecked());
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
    m_recentFile = settings.value(u"recent.file"_s, QString()).toString();
    m_recentFiles = settings.value(u"recent.files"_s).toStringList();
    m_actionSampleExact->setChecked(settings.value(u"slice/sample.exact"_s, false).toBool());
    // The saved state may show the dock; the panel always starts closed, like its action.
    m_freedbPanel->hide();
}
