#pragma once

#include <QPointer>
#include <QStringList>

#include <memory>

#include "app/droppablewindow.h"
#include "app/welcomepanel.h"
#include "cue/filefinder.h"
#include "slice/sliceprogress.h"
#include "tracks/track.h"
#include "tracks/trackcalculaterlistener.h"
#include "tracks/tracksupdatelistener.h"

class ButtonLineEdit;
class CheapMP3;
class FreedbSearchWidget;
class ListModel;
class ListView;
class MarkerWidget;
class Mp3Manager;
class ProgressWidget;
class QAction;
class QModelIndex;
class QSplitter;
class QVBoxLayout;
class Slider;
class TrackHeader;
class TrackViewController;
class WaveformWidget;

// The application's only top-level window: turns the user's actions into work for the work
// manager, keeps the track table and the waveform in step with the track list, and decides
// what is enabled. Needs a live Mp3ManagerScope, which must outlive it. Registers itself with
// the track list while it exists; owns neither the manager nor the list. Restores its settings at the end of construction and saves them when
// closed.
class MainWindow final : public DroppableWindow,
                         public TrackCalculaterListener,
                         public TracksUpdateListener
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
    // The name without its last suffix: "Live 2024.05.01.mp3" gives "Live 2024.05.01".
    static QString baseName(const QString &path);

    QString currentFile() const { return m_currentFile; }
    void setCurrentFile(const QString &path);
    QString cueFile() const { return m_cueFile; }
    int selectedRow() const { return m_selectedRow; }

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

    int totalLength() const override;
    void tracksRemoved(int first, int last) override;
    void tracksInserted(int first, int last) override;
    void tracksChanged(int first, int last) override;

public slots:
    void onReadProgress(float percent);
    void onSliceProgress(SliceProgress progress);
    void onReadyCheapMP3(CheapMP3 *pCheapMP3);
    // Also the receiver of a freedb disc's tracks.
    void onReadyTracks(const TrackContainer &tracks);
    void onCueFilesFinded(const FileFinder::FileList &files);
    void onDroppedFiles(const DroppableWindow::FileList &files);
    void onOpenFile();
    void onChooseSaveFolder();
    void onTrackModelDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void onAbout();
    void onSlice();
    void onAdd();
    void onEdit();
    void onRemove();
    void onTrackViewClicked(const QModelIndex &index);
    void onFreedbSearch(bool on);
    void onFreedbSearchClose();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createActions();
    void createMenusAndToolBar();
    void createPanes();
    void registerCommands();
    void saveSettings();
    void restoreSettings();
    void centreProgressPanel();
    void buildTracks();
    void onSliceEnded();
    void onCueParseEnded();
    bool prepareFolder(const QString &folder);
    void onTrackFailed(int track, const QString &path, const QString &reason);
    void onTrackWritten(int track, const QString &path);

    Mp3Manager *m_manager;
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

    WaveformWidget *m_waveformView = nullptr;
    Slider *m_slider = nullptr;
    ButtonLineEdit *m_saveFolderEdit = nullptr;
    QString m_cueFile;
    QString m_currentFile;
    ProgressWidget *m_progressPanel;
    QWidget *m_topPane = nullptr;
    MarkerWidget *m_hoverMarker = nullptr;
    int m_selectedRow = NoRow;
    QPointer<WelcomePanel> m_welcomePanel;
    QVBoxLayout *m_centralLayout = nullptr;
    QSplitter *m_mainSplitter = nullptr;
    QWidget *m_controlPane = nullptr;
    FreedbSearchWidget *m_freedbPanel = nullptr;
    TrackHeader *m_trackHeader = nullptr;
    std::unique_ptr<ListModel> m_trackModel;
    ListView *m_trackView = nullptr;
    TrackViewController *m_trackViewController = nullptr;

    int m_lastReadPercent = -1;
    // The CUE dialog is open: the panel stays where it was moved to.
    bool m_cueDialogShown = false;
    bool m_splitterRestored = false;
    // A sheet is being parsed for the current file; its tracks have not come yet.
    bool m_awaitingCueTracks = false;

    // The running slice: where it writes, what it was given and what came back.
    bool m_slicing = false;
    QString m_sliceFolder;
    int m_sliceCount = 0;
    int m_writtenCount = 0;
    QStringList m_failures;
};
