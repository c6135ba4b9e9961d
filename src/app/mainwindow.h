#pragma once

#include <QPointer>
#include <QStringList>

#include <memory>

#include "app/droppablewindow.h"
#include "app/welcomepanel.h"
#include "tracks/album.h"
#include "tracks/track.h"
#include "tracks/tracksupdatelistener.h"

class AlbumPane;
class ButtonLineEdit;
class FreedbSearchWidget;
class ListModel;
class ListView;
class MarkerWidget;
class Mp3Manager;
class Session;
class PreviewPlayer;
class ProgressWidget;
class QAction;
class QMenu;
class QPushButton;
class QModelIndex;
class QSplitter;
class QVBoxLayout;
class Slider;
class TrackHeader;
class TrackViewController;
class WaveformWidget;

// The application's only top-level window: a view and controller over the session. It renders
// the session's state (file, index, tracks, work under way), keeps the track table and the
// waveform in step with the track list, and forwards the user's acts; every rule about the
// file lives in the session. Needs a live Mp3ManagerScope, which must outlive it. Restores its
// settings at the end of construction and saves them when closed.
class MainWindow final : public DroppableWindow, public TracksUpdateListener
{
    Q_OBJECT

public:
    // Row value meaning "no row selected".
    static constexpr int NoRow = 2147483647;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The road of one file; the open dialog, drops and the command line all come here.
    // Refused with a message while a file is read or sliced. Returns whether reading began.
    bool openFile(const QString &path);

    Session *session() const { return m_session; }
    PreviewPlayer *player() const { return m_player; }
    QString currentFile() const;
    // The file the open dialog starts from: the open one, or the last of the previous run.
    QString recentFile() const;
    // The highlighted row of the table, or NoRow.
    int selectedRow() const;

    ProgressWidget *progressPanel() const { return m_progressPanel; }
    QSplitter *mainSplitter() const { return m_mainSplitter; }
    WaveformWidget *waveformView() const { return m_waveformView; }
    Slider *slider() const { return m_slider; }
    MarkerWidget *hoverMarker() const { return m_hoverMarker; }
    ListView *trackView() const { return m_trackView; }
    TrackHeader *trackHeader() const { return m_trackHeader; }
    ListModel *trackModel() const { return m_trackModel.get(); }
    ButtonLineEdit *saveFolderEdit() const { return m_saveFolderEdit; }
    WelcomePanel *welcomePanel() const { return m_welcomePanel; }
    QWidget *controlPane() const { return m_controlPane; }
    FreedbSearchWidget *freedbPanel() const { return m_freedbPanel; }
    QAction *freedbSearchAction() const { return m_actionFreedbSearch; }

    void tracksRemoved(int first, int last) override;
    void tracksInserted(int first, int last) override;
    void tracksChanged(int first, int last) override;

public slots:
    // The tracks of an album found on freedb or MusicBrainz.
    void onReadyTracks(const TrackContainer &tracks, const Album &album = {});
    void onDroppedFiles(const DroppableWindow::FileList &files);
    void onOpenFile();
    void onChooseSaveFolder();
    void onAbout();
    void onSlice();
    void onAdd();
    void onEdit();
    void onRemove();
    void onFreedbSearch(bool on);
    void onFreedbSearchClose();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createActions();
    void createMenusAndToolBar();
    void createPanes();
    void saveSettings();
    void restoreSettings();
    void centreProgressPanel();
    void showPanes();
    void fillRecentMenu();
    void onSaveSheet();
    void onFindSilences();
    void onSilencesFound(const QList<int> &cuts);
    // What is enabled and shown follows from the session's state and the table, here only.
    void updateActions();
    int tickedCount() const;
    void updateHeaderCheckState();
    // A tick set in the table goes into the track list, where it can be undone.
    void onTrackModelDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);

    void onFileOpened();
    void onOpenFailed(const QString &path, const QString &reason);
    void onSheetChoiceNeeded(const QStringList &sheets);
    void onTracksBuilt(const QString &note);
    void onReadProgress(int percent);
    void onSliceProgress(int percent, int track);
    void onSliceEnded();

    Mp3Manager *m_manager;
    Session *m_session;
    QAction *m_actionOpen = nullptr;
    QAction *m_actionExit = nullptr;
    QAction *m_actionAbout = nullptr;
    QAction *m_actionSlice = nullptr;
    QAction *m_actionAdd = nullptr;
    QAction *m_actionRemove = nullptr;
    QAction *m_actionEdit = nullptr;
    QAction *m_actionFreedbSearch = nullptr;
    QAction *m_actionZoomIn = nullptr;
    QAction *m_actionZoomOut = nullptr;
    QAction *m_actionFit = nullptr;
    QAction *m_actionSilences = nullptr;
    QAction *m_actionSampleExact = nullptr;
    QAction *m_actionPlay = nullptr;
    QAction *m_actionSaveSheet = nullptr;
    QMenu *m_recentMenu = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    // The album fields the next slice tags; edits go to the session.
    AlbumPane *m_albumPane = nullptr;
    QAction *m_actionUndo = nullptr;
    QAction *m_actionRedo = nullptr;

    WaveformWidget *m_waveformView = nullptr;
    Slider *m_slider = nullptr;
    ButtonLineEdit *m_saveFolderEdit = nullptr;
    ProgressWidget *m_progressPanel;
    PreviewPlayer *m_player;
    QWidget *m_topPane = nullptr;
    MarkerWidget *m_hoverMarker = nullptr;
    QPointer<WelcomePanel> m_welcomePanel;
    QVBoxLayout *m_centralLayout = nullptr;
    QSplitter *m_mainSplitter = nullptr;
    QWidget *m_controlPane = nullptr;
    FreedbSearchWidget *m_freedbPanel = nullptr;
    TrackHeader *m_trackHeader = nullptr;
    std::unique_ptr<ListModel> m_trackModel;
    ListView *m_trackView = nullptr;
    TrackViewController *m_trackViewController = nullptr;

    // The file to open when no file was read yet: the last one of the previous run.
    QString m_recentFile;
    // Newest first, at most ten.
    QStringList m_recentFiles;
    bool m_splitterRestored = false;
    bool m_wasBusy = false;
};
