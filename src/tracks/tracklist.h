#pragma once

#include "tracks/track.h"
#include "tracks/trackhistorylistener.h"

class TrackCalculaterListener;
class TracksUpdateListener;

// The process-wide list of tracks in time order and its editing rules. Main thread only;
// reports every change to the update listener. Neither listener is owned, and either may
// be null: without a calculater the file length is unknown and nothing is stretched to it.
class TrackList final
{
public:
    static TrackList *instance();

    TrackList(const TrackList &) = delete;
    TrackList &operator=(const TrackList &) = delete;

    int count() const;
    // Out-of-range indexes give an empty track and 0.
    Track trackAt(int index) const;
    int startOf(int index) const;
    TrackContainer allTracks() const;

    // Replaces every track; the last one is stretched to the file's end.
    void setTracks(const TrackContainer &container);
    // Renames the track with the same times, or inserts the track and trims its neighbours.
    // Refuses (false) a track that ends before it starts or starts before 0.
    bool addTrack(const Track &track);
    // The neighbour takes over the removed time; the only track is never removed.
    void removeTrack(int index);
    // Moves the boundary between tracks index - 1 and index; each keeps more than a second.
    bool moveBoundary(int index, int ms);
    // Ticks or unticks a track for the next slice.
    void setTicked(int index, bool ticked);
    // Puts back a list as it was (undo, redo): nothing is stretched and no history is told.
    void restore(const TrackContainer &container);
    // Gives the track at index the changed title, artist, start and end. A new start or end
    // moves that boundary and the neighbour across it follows, under moveBoundary's rule;
    // the file's start and end stay where they are. A refused edit changes nothing and says
    // why in *why (when given).
    bool editTrack(int index, const Track &changed, QString *why = nullptr);
    // The file's length from the calculater; 0 without one.
    int fileLength() const;

    void setCalculater(TrackCalculaterListener *listener);
    void setUpdateListener(TracksUpdateListener *listener);
    void setHistoryListener(TrackHistoryListener *listener);
    void setSourcePath(const QString &path);

private:
    TrackList();

    void notifyRemoved(int first, int last) const;
    void notifyInserted(int first, int last) const;
    void notifyChanged(int first, int last) const;
    void replaceAll(const TrackContainer &container);
    void aboutToChange(TrackHistoryListener::Change change, int index) const;

    TrackContainer m_tracks;
    TrackCalculaterListener *m_calculater = nullptr;
    TracksUpdateListener *m_updateListener = nullptr;
    TrackHistoryListener *m_historyListener = nullptr;
    QString m_sourcePath;
};
