#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "cue/filefinder.h"
#include "decode/silencedetector.h"
#include "mp3/cheapmp3.h"
#include "slice/sliceprogress.h"
#include "tracks/album.h"
#include "tracks/track.h"
#include "tracks/trackcalculaterlistener.h"
#include "tracks/trackhistorylistener.h"

class Mp3Manager;

// The open file and every rule about it, for the window and mavlor-cli alike: which file is
// open and its frame index, which sheet is taken, what the whole-file track is, where tracks
// go, what a slice reported. Drives the work manager; lives on the main thread; knows no
// widgets. A new file becomes current only once its index has arrived: a stopped or failed
// read leaves everything as it was.
class Session final : public QObject, public TrackCalculaterListener, public TrackHistoryListener
{
    Q_OBJECT

public:
    enum class State {
        Empty,   // no file yet
        Reading, // a file is being read; the previous one (if any) is still current
        Ready,   // a file is open and idle
        Slicing,
        Searching, // looking for silences in the open file
    };
    // What happens with the sheets found beside a new file.
    enum class SheetRule {
        Ask,     // the one with the MP3's name is taken, any other is offered
        OwnOnly, // the one with the MP3's name is taken, others are ignored
        None,    // the whole file is one track
    };

    // The manager must outlive the session.
    explicit Session(Mp3Manager *manager, QObject *parent = nullptr);
    ~Session() override;

    State state() const { return m_state; }
    bool isBusy() const { return m_state != State::Empty && m_state != State::Ready; }
    // A file is open and idle, with its tracks built.
    bool canSlice() const { return m_state == State::Ready && m_index && !m_sheetPending; }
    QString currentFile() const { return m_currentFile; }
    QString sheet() const { return m_sheet; }
    const CheapMP3 *frameIndex() const { return m_index.get(); }
    CheapMP3Ptr sharedFrameIndex() const { return m_index; }
    // Exact length from the frame index: entries × samples per entry ÷ sample rate.
    int totalLength() const override;

    void setSheetRule(SheetRule rule) { m_sheetRule = rule; }

    // Starts reading; refused, with the reason, while reading or slicing.
    bool open(const QString &path, QString *why = nullptr);
    // The answer to sheetChoiceNeeded(): a sheet's path, or empty for none.
    void chooseSheet(const QString &sheet);
    // Parses the sheet into the open file's tracks; tracksBuilt() follows.
    void takeSheet(const QString &sheet);
    // Tracks from a sheet, a disc or a proposal; the last is stretched to the file's end.
    // Tracks that start at or after the end hold nothing and are left out; their numbers go
    // into leftOut.
    void replaceTracks(const TrackContainer &tracks, QList<int> *leftOut = nullptr,
                       const Album &album = {});

    // The album fields every written track carries: what the user set wins over what the
    // track source (a sheet, a disc, a release) says; the source MP3's own tags fill the rest
    // when the tracks are written.
    Album album() const { return m_albumEdits.filledFrom(m_sourceAlbum); }
    Album albumEdits() const { return m_albumEdits; }
    void setAlbumEdits(const Album &edits);
    // The tracks and album as a CUE sheet of the open file.
    QByteArray sheetText() const;
    // Writes sheetText() atomically; never over the MP3.
    bool saveSheet(const QString &path, QString *error) const;
    // Cuts at the given times (ms); false with the reason when one is at or past the end.
    bool cutAt(const QList<int> &times, QString *why = nullptr);

    // The folder as typed: "~" is home, a relative folder lies beside the MP3.
    QString resolveFolder(const QString &text) const;
    // Makes the folder when missing; false with a message when it cannot hold files.
    static bool prepareFolder(const QString &folder, QString *error);
    // The names of the given tracks' files that already stand in the folder.
    QStringList existingFiles(const QString &folderText, const TrackContainer &tracks) const;
    // Writes the given tracks into the folder; false with the reason when nothing started.
    // keepExisting writes a taken name beside the old file ("name (2).mp3") instead of over it.
    bool slice(const QString &folderText, const TrackContainer &tracks, QString *why = nullptr,
               bool keepExisting = false);
    // Later slices cut each track to its first and last sample rather than to whole frames.
    void setSampleExact(bool on) { m_sampleExact = on; }
    bool sampleExact() const { return m_sampleExact; }
    // Stops whatever runs; the end still comes through the usual signals.
    void stop();

    // Looks for silences of at least minimumSeconds under thresholdDb in the open file;
    // silencesFound() follows. False, with the reason, when busy or without a file.
    bool findSilences(double thresholdDb, double minimumSeconds, QString *why = nullptr);
    // The silences last found in the open file, as index milliseconds [start, end).
    QList<std::pair<int, int>> silences() const { return m_silences; }

    // Undo and redo of every change of the open file's track list; a new file starts afresh.
    bool canUndo() const { return !m_undo.isEmpty() && m_state == State::Ready; }
    bool canRedo() const { return !m_redo.isEmpty() && m_state == State::Ready; }
    void undo();
    void redo();
    // A drag of a boundary has ended: the next move is a step of its own.
    void endGesture() { m_gestureOpen = false; }
    void tracksAboutToChange(const TrackContainer &before, Change change, int index) override;

    // What the last slice did.
    struct SliceSummary
    {
        QString folder;
        int asked = 0;
        int written = 0;
        bool stopped = false; // the user stopped it
        QStringList failures; // "Track n (name): reason"
        QStringList warnings; // written, but: "Track n (name): what it lacks"
    };
    SliceSummary lastSlice() const { return m_summary; }

signals:
    // The album fields changed.
    void albumChanged();
    // state(), the file, the index or the tracks' source changed: redraw and re-enable.
    void stateChanged();
    // A new file's index has arrived and is current.
    void fileOpened();
    // A read ended without a new current file; the reason is empty when the user stopped it.
    void openFailed(const QString &path, const QString &reason);
    void readProgress(int percent);
    // Sheets were found beside the new file, none of them its own: answer with chooseSheet().
    void sheetChoiceNeeded(const QStringList &sheets);
    // The file's tracks are built (from its sheet or as the whole file); a note when the
    // sheet gave none.
    void tracksBuilt(const QString &note);
    // Overall percent of the running slice, and the number of the track being written.
    void sliceProgress(int percent, int track);
    // warning: empty, or what a complete track lacks (its rebuilt VBR header or its tags).
    void trackWritten(int track, const QString &path, const QString &warning);
    void trackFailed(int track, const QString &path, const QString &reason);
    void sliceEnded();
    // The undo or redo history changed.
    void historyChanged();
    void silenceProgress(int percent);
    // The search ended with the silences kept in silences(), and the cuts it proposes (ms);
    // cutAt() takes them.
    void silencesFound(const QList<int> &cuts);
    // The search failed (the reason) or was stopped (empty).
    void silenceSearchFailed(const QString &reason);

private:
    void onReadyCheapMP3(CheapMP3Ptr index);
    void onReadEnded();
    void onReadyCueFiles(const FileFinder::FileList &files);
    void onCueSearchEnded();
    void onReadyTracks(const TrackContainer &tracks);
    void onReadyAlbum(const Album &album);
    void onSilencesFound(const SilenceList &silences, const QList<int> &cuts);
    void onSilenceSearchEnded();
    void onCueParseEnded();
    void onSliceProgress(SliceProgress progress);
    void onTrackWritten(int track, const QString &path, const QString &warning);
    void onTrackFailed(int track, const QString &path, const QString &reason);
    void onSliceEnded();
    // The index and the sheet search are both in: take the file and build its tracks.
    void settleOpen();
    void buildTracks();
    // Tracks that come with opening a file are its start, not a step to undo.
    void setOpeningTracks(const TrackContainer &tracks);
    void setState(State state);

    Mp3Manager *m_manager;
    State m_state = State::Empty;
    SheetRule m_sheetRule = SheetRule::Ask;
    CheapMP3Ptr m_index;
    QString m_currentFile;
    QString m_sheet;

    // The open under way.
    QString m_pendingFile;
    CheapMP3Ptr m_pendingIndex;
    FileFinder::FileList m_foundSheets;
    bool m_searchEnded = false;
    bool m_readEnded = false;
    State m_stateBeforeRead = State::Empty;
    // A sheet is being chosen or parsed; the tracks are not built yet.
    bool m_sheetPending = false;
    bool m_sampleExact = false;

    QList<TrackContainer> m_undo;
    QList<TrackContainer> m_redo;
    bool m_recording = true;
    // Changes within one turn of the event loop are one step (a header tick ticks every row),
    // and so are the moves of one drag.
    bool m_turnOpen = false;
    bool m_gestureOpen = false;
    Change m_lastChange = Change::Replace;
    int m_lastIndex = -1;

    QList<std::pair<int, int>> m_silences;
    QString m_silenceFailure;
    bool m_silencesDelivered = false;
    QList<int> m_silenceCuts;
    Album m_sourceAlbum;
    Album m_albumEdits;

    // The running slice.
    TrackContainer m_sliceTracks;
    SliceSummary m_summary;
};
