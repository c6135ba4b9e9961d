#pragma once

#include <QObject>

#include <memory>
#include <vector>

#include "cue/filefinder.h"
#include "decode/silencedetector.h"
#include "mp3/cheapmp3.h"
#include "mp3/ireadedlistener.h"
#include "slice/sliceprogress.h"
#include "tracks/album.h"
#include "tracks/track.h"
#include "work/commandmanager.h"

class IThreadObject;
class Thread;
class SliceThreadObject;
class CueFinderThreadObject;
class Mp3OpenerThreadObject;
class CueParserThreadObject;
class SilenceThreadObject;

Q_DECLARE_INTERFACE(CommandManager, "CommandManager")
Q_DECLARE_INTERFACE(IReadedListener, "IReadedListener")

// The one controller of file work: reads frame indexes, finds and parses CUE sheets and
// slices, each on its own worker thread, and runs the registered commands around reading
// and slicing. Lives on the main thread; results come back as its own signals. The process-wide
// one is owned by an Mp3ManagerScope that main() keeps around the window.
class Mp3Manager final : public QObject, public CommandManager, public IReadedListener
{
    Q_OBJECT
    Q_INTERFACES(CommandManager IReadedListener)

public:
    // The manager of the live Mp3ManagerScope; null before it is made and after it has gone.
    static Mp3Manager *instance();
    // The application uses instance(); tests build managers of their own.
    explicit Mp3Manager(QObject *parent = nullptr);
    ~Mp3Manager() override;

    // A CUE search or parse still running for an earlier request is stopped, its results
    // dropped, and the new one starts once it has ended.
    void openMp3(const QString &path);
    void parseCue(const QString &cuePath);
    // Looks for silences on the silence thread; refused (false) while one search runs.
    bool findSilences(CheapMP3Ptr index, double thresholdDb, double minimumSeconds);
    // trackTotal is the number of tracks in the list, for the "n/N" of each track's tag.
    // sampleExact cuts each track to its samples instead of to whole frames.
    void slice(const QString &outputFolder, const TrackContainer &tracks, CheapMP3Ptr index,
               const Album &album = {}, int trackTotal = 0, bool keepExisting = false,
               bool sampleExact = false);

    void readed(float percent) override;

    // Stops every running work and waits up to timeoutMs for the threads to end; true when
    // they all have. The ends come through the usual signals afterwards.
    bool stopAndWait(int timeoutMs);

    bool isReading() const;
    bool isSlicing() const;

signals:
    void readProgress(float percent);
    void sliceProgress(SliceProgress progress);
    void readyCheapMP3(CheapMP3Ptr index);
    void readyCueFiles(const FileFinder::FileList &files);
    void readyTracks(const TrackContainer &tracks);
    // A parsed sheet's album fields; comes just before its tracks.
    void readyAlbum(const Album &album);
    // A track of the running slice that could not be written, and why.
    void trackFailed(int track, const QString &path, const QString &reason);
    // warning: empty, or what a complete track lacks (its rebuilt VBR header or its tags).
    void trackWritten(int track, const QString &path, const QString &warning);
    // The CUE search or parse ended, whether or not it delivered anything.
    void cueSearchEnded();
    void cueParseEnded();
    void silenceProgress(int percent);
    void silencesFound(const SilenceList &silences, const QList<int> &cuts);
    void silenceSearchFailed(const QString &reason);
    // The silence search ended, whether or not it delivered anything.
    void silenceSearchEnded();

public slots:
    void onStopAnyWork();
    void onReadMp3Finish();
    void onSliceMp3Finish();

private:
    // A worker thread and the object that lives on it; the manager owns both.
    struct Worker
    {
        std::unique_ptr<IThreadObject> object;
        std::unique_ptr<Thread> thread;
    };
    Thread *addWorker(std::unique_ptr<IThreadObject> object);

    // Every pair, for the destructor and onStopAnyWork() alike; the typed pointers below
    // only look into it.
    std::vector<Worker> m_workers;
    Thread *m_sliceThread = nullptr;
    Thread *m_cueFinderThread = nullptr;
    Thread *m_openerThread = nullptr;
    Thread *m_cueParserThread = nullptr;
    SliceThreadObject *m_sliceObject = nullptr;
    CueFinderThreadObject *m_cueFinderObject = nullptr;
    Mp3OpenerThreadObject *m_openerObject = nullptr;
    CueParserThreadObject *m_cueParserObject = nullptr;
    Thread *m_silenceThread = nullptr;
    SilenceThreadObject *m_silenceObject = nullptr;
    int m_lastReadPercent = -1;
    // Requests that wait for a superseded run to end; while one waits, that run's results
    // are dropped.
    QString m_nextCueSearch;
    QString m_nextCueParse;
};

// Owns the process-wide Mp3Manager for its own lifetime. main() makes one before the window
// and ends it after the window is gone, so the threads stop while the application object
// still exists. Only one may exist at a time.
class Mp3ManagerScope final
{
public:
    Mp3ManagerScope();
    ~Mp3ManagerScope();

    Mp3ManagerScope(const Mp3ManagerScope &) = delete;
    Mp3ManagerScope &operator=(const Mp3ManagerScope &) = delete;

private:
    std::unique_ptr<Mp3Manager> m_manager;
};
