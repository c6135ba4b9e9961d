#pragma once

#include <QFile>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

#include "mp3/cheapmp3.h"
#include "mp3/iwritedlistener.h"
#include "slice/sliceprogress.h"
#include "threads/ithreadobject.h"
#include "tracks/album.h"
#include "tracks/track.h"
#include "vbrrepair/feedbackinterface.h"

class QTemporaryFile;
class RepairSettings;
class SampleExactPlan;
class TrackCommitter;
class TrackTagger;
class XingFrame;

Q_DECLARE_INTERFACE(FeedBackInterface, "FeedBackInterface")
Q_DECLARE_INTERFACE(IWritedListener, "IWritedListener")

// Writes each given track of an indexed MP3 into its own file on the slice thread: copy the
// track's entries with a VBR header made from the copy (the repair engine rebuilds one where
// it cannot be), tag it (TrackTagger), and hand it to a TrackCommitter, which gives it its
// name while the next tracks are cut. Tracks, album and track total are set while the thread
// is idle and cleared at the end of the run. A track that cannot be written is reported
// through trackFailed() and the job goes on with the next one; a track written whose header
// or tags could not be made is reported by trackWritten() with a warning. The job holds its
// own reference to the index until it ends.
class SliceThreadObject final : public IThreadObject,
                                public FeedBackInterface,
                                public IWritedListener
{
    Q_OBJECT
    Q_INTERFACES(FeedBackInterface IWritedListener)

public:
    explicit SliceThreadObject(QObject *parent = nullptr);
    ~SliceThreadObject() override;

    void setOutputFolder(const QString &folder) { m_outputFolder = folder; }
    void setTracks(const TrackContainer &tracks) { m_tracks = tracks; }
    void setIndex(CheapMP3Ptr index) { m_index = std::move(index); }
    // The album's fields from the track source; what it leaves empty comes from the source
    // MP3's own tags.
    void setAlbum(const Album &album) { m_album = album; }
    // The length of the whole track list, ticked or not: the N of "n/N".
    void setTrackTotal(int total) { m_trackTotal = total; }
    // A track whose name is taken is written beside it as "name (2).mp3" instead of over it.
    void setKeepExisting(bool keep) { m_keepExisting = keep; }
    // Cuts every track to its first and last sample (SampleExactPlan) instead of to whole
    // frames; a track that cannot be is cut to the frame, with a warning.
    void setSampleExact(bool on) { m_sampleExact = on; }
    bool sampleExact() const { return m_sampleExact; }
    Album album() const { return m_album; }
    int trackTotal() const { return m_trackTotal; }
    QString outputFolder() const { return m_outputFolder; }
    TrackContainer tracks() const { return m_tracks; }
    const CheapMP3 *index() const { return m_index.get(); }
    int currentTrack() const { return m_currentTrack; }

    // First and one-past-last index entry of a track, by rounding its times to the nearest
    // entry so that neighbours sharing a boundary time share the boundary entry.
    static int entryAt(int milliseconds, int sampleRate);

    void writed(float percent) override;

    void progress() override;
    void message(FeedBackMessage message) override;
    bool shouldStop() override;

public slots:
    void start() override;

signals:
    void sliceProgress(SliceProgress progress);
    // A track on disk under its name. warning is empty, or says what is missing from a
    // complete track: its rebuilt VBR header or its tags.
    void trackWritten(int track, const QString &path, const QString &warning);
    void trackFailed(int track, const QString &path, const QString &reason);

private:
    // A track written completely under a temporary name, waiting to take its name and be
    // reported.
    struct PendingTrack
    {
        std::unique_ptr<QTemporaryFile> file;
        QString path;
        int number = 0;
        QString warning;
    };

    bool writeTrack(const Track &track);
    // Reports the pending tracks that have taken their names, oldest first, after waiting
    // until at most `uncommitted` are left.
    void reportCommitted(qsizetype uncommitted);
    // Waits for every pending track and reports it.
    void commitPending() { reportCommitted(0); }
    // Copies entries [first, last) into the open file and closes it; false with a reason on
    // failure, true also when stopped. headerMade tells whether the track got a VBR header
    // filled from the copy.
    bool copyTrack(QFile &file, int first, int last, const RepairSettings &settings,
                   bool *headerMade, QString *error);
    // Writes the planned track into the open file and closes it; like copyTrack().
    bool copyExactTrack(QFile &file, SampleExactPlan &plan, QString *error);
    // The new Xing frame of a track of varying bitrate, sized but not yet filled; nullptr for
    // a track of one bitrate. The album's LAME data goes along; encoder delay and padding
    // stay only on the tracks that begin or end the album's audio.
    std::unique_ptr<XingFrame> newXingFrame(int first, int last, const RepairSettings &settings);

    QString m_outputFolder;
    CheapMP3Ptr m_index;
    TrackContainer m_tracks;
    Album m_album;
    int m_trackTotal = 0;
    bool m_keepExisting = false;
    bool m_sampleExact = false;
    std::unique_ptr<TrackTagger> m_tagger;
    int m_currentTrack = 0;
    std::vector<unsigned char> m_infoFrame;
    std::unique_ptr<XingFrame> m_albumXing;
    std::deque<std::unique_ptr<PendingTrack>> m_pending;
    std::unique_ptr<TrackCommitter> m_committer;
    QFile m_source;
};
