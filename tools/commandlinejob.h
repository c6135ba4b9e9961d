#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

#include "consoleprogress.h"
#include "cue/filefinder.h"
#include "slice/sliceprogress.h"
#include "tracks/track.h"
#include "tracks/trackcalculaterlistener.h"

class CheapMP3;
class InterruptNotifier;

// The "info" and "split" commands of mavlor-cli. Reads, finds CUE sheets and slices through
// the process-wide work manager, its worker threads and signals, exactly as the window does.
class CommandLineJob final : public QObject, public TrackCalculaterListener
{
    Q_OBJECT

public:
    enum class Mode {
        Info,
        Split
    };
    struct Options
    {
        Mode mode = Mode::Info;
        QString input;
        QString outputFolder;
        QList<int> cutTimes; // milliseconds
        QString cueSheet;
        QSet<int> trackSelection; // empty: every track
        TrackContainer tracks;    // given tracks (a freedb disc); the last is stretched to the end
        bool quiet = false;
    };

    explicit CommandLineJob(const Options &options, QObject *parent = nullptr);
    ~CommandLineJob() override;

    // Runs the job in the event loop; returns the process exit status.
    int run();

    int totalLength() const override;

    // "1,3-5" → {1, 3, 4, 5}; empty text selects all. False on text that is not such a list.
    static bool parseTrackSelection(const QString &text, QSet<int> *selection);
    // "mm:ss.hh" (the time text form) or plain seconds such as "83.5"; false otherwise.
    static bool parseTime(const QString &text, int *milliseconds);

private:
    // Where the job stands. Reading the frame index and searching for CUE sheets run at once,
    // so either may end first.
    enum class Stage {
        Reading,            // frame index and CUE search under way
        ReadingSearchEnded, // the CUE search is over, the frame index is still being read
        Searching,          // the frame index is ready, the CUE search is still under way
        ParsingCue,         // a CUE sheet is being parsed into tracks
        Slicing,
        Done,
    };

    void onReadyCheapMP3(CheapMP3 *index);
    void onReadyCueFiles(const FileFinder::FileList &files);
    void onReadEnded();
    void onCueSearchEnded();
    void onReadyTracks(const TrackContainer &tracks);
    void onCueParseEnded();
    void onSliceProgress(SliceProgress progress);
    void onTrackWritten(int track, const QString &path);
    void onTrackFailed(int track, const QString &path, const QString &reason);
    void onSliceEnded();
    void onInterrupt();

    void printInfo();
    void buildTracks(bool cueSearchEnded);
    // Tracks from a sheet or a disc: the last one ends at the MP3's end, as in the window.
    void sliceListTracks(const TrackContainer &tracks);
    void sliceTracks(const TrackContainer &tracks);
    void fail(const QString &message);
    void finish(int status);
    QString baseName() const;

    Options m_options;
    std::unique_ptr<CheapMP3> m_index;
    std::unique_ptr<InterruptNotifier> m_interrupt;
    ConsoleProgress m_progress;
    FileFinder::FileList m_cueFiles;
    Stage m_stage = Stage::Reading;
    int m_status = 0;
    int m_tracksToWrite = 0;
    int m_tracksWritten = 0;
    int m_tracksFailed = 0;
};
