#include "tracks/tracklist.h"

#include "tracks/trackcalculaterlistener.h"
#include "tracks/tracksupdatelistener.h"

#include "tracks/timetext.h"

#include <QCoreApplication>
#include <QFileInfo>

TrackList *TrackList::instance()
{
    static TrackList list;
    return &list;
}

TrackList::TrackList()
{
    registerTrackMetaTypes();
}

int TrackList::count() const
{
    return static_cast<int>(m_tracks.size());
}

Track TrackList::trackAt(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return m_tracks.at(index);
}

int TrackList::startOf(int index) const
{
    if (index < 0 || index >= count())
        return 0;
    return m_tracks.at(index).start;
}

TrackContainer TrackList::allTracks() const
{
    return m_tracks;
}

void TrackList::setTracks(const TrackContainer &container)
{
    TrackContainer replacement = container;
    // A CUE sheet or a freedb record does not know where the last track ends.
    if (!replacement.isEmpty() && m_calculater)
        replacement.last().end = m_calculater->totalLength();
    aboutToChange(TrackHistoryListener::Change::Replace, 0);
    replaceAll(replacement);
}

bool TrackList::addTrack(const Track &track)
{
    // A reversed or negative range would leave a track of negative length behind.
    if (track.start < 0 || track.end <= track.start)
        return false;

    TrackContainer result;
    if (m_tracks.isEmpty()) {
        const QString name = QFileInfo(m_sourcePath).completeBaseName();
        const int total = m_calculater ? m_calculater->totalLength() : track.end;
        if (track.start > 0)
            result.append(Track{name, name, 0, 0, track.start});
        result.append(track);
        if (total > track.end)
            result.append(Track{name, name, 0, track.end, total});
    } else {
        for (qsizetype i = 0; i < m_tracks.size(); ++i) {
            const Track &same = m_tracks.at(i);
            if (same.start == track.start && same.end == track.end) {
                aboutToChange(TrackHistoryListener::Change::Edit, static_cast<int>(i));
                m_tracks[i].title = track.title;
                m_tracks[i].artist = track.artist;
                notifyChanged(static_cast<int>(i), static_cast<int>(i));
                return true;
            }
        }
        bool placed = false;
        for (Track d : std::as_const(m_tracks)) {
            // A track that ends exactly where the new one starts is its neighbour.
            const bool overlaps = d.end > track.start && d.start <= track.end;
            if (!overlaps) {
                result.append(d);
                continue;
            }
            if (d.start < track.start) {
                d.end = track.start;
                result.append(d);
                if (!placed)
                    result.append(track);
                placed = true;
            } else if (d.start == track.start) {
                if (!placed)
                    result.append(track);
                placed = true;
            } else if (track.end < d.end) {
                d.start = track.end;
                result.append(d);
            }
        }
        // A track in a gap overlaps nothing; dropping it would lose the user's input.
        if (!placed) {
            qsizetype at = 0;
            while (at < result.size() && result.at(at).start < track.start)
                ++at;
            result.insert(at, track);
        }
    }
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i].number = static_cast<int>(i + 1);
    aboutToChange(TrackHistoryListener::Change::Add, 0);
    replaceAll(result);
    return true;
}

void TrackList::removeTrack(int index)
{
    if (index < 0 || index >= count() || count() == 1)
        return;
    aboutToChange(TrackHistoryListener::Change::Remove, index);
    const Track removed = m_tracks.at(index);
    const int heir = index > 0 ? index - 1 : 0;
    if (index > 0) {
        m_tracks[index - 1].end = removed.end;
        m_tracks[index - 1].endCdFrame = removed.endCdFrame;
    } else {
        m_tracks[1].start = removed.start;
        m_tracks[1].startCdFrame = removed.startCdFrame;
    }
    m_tracks.removeAt(index);
    for (qsizetype i = index; i < m_tracks.size(); ++i)
        --m_tracks[i].number;
    notifyRemoved(index, index);
    // The heir took the time; the rows after it took new numbers.
    notifyChanged(heir, count() - 1);
}

bool TrackList::moveBoundary(int index, int ms)
{
    if (index <= 0 || index >= count())
        return false;
    if (ms >= m_tracks.at(index).end - 1000 || ms <= m_tracks.at(index - 1).start + 1000)
        return false;
    // Told first: the history keeps a shallow copy, and writes below must detach from it.
    aboutToChange(TrackHistoryListener::Change::Move, index);
    m_tracks[index].start = ms;
    m_tracks[index - 1].end = ms;
    notifyChanged(index - 1, index);
    return true;
}

void TrackList::setTicked(int index, bool ticked)
{
    if (index < 0 || index >= count() || m_tracks.at(index).ticked == ticked)
        return;
    aboutToChange(TrackHistoryListener::Change::Tick, index);
    m_tracks[index].ticked = ticked;
    notifyChanged(index, index);
}

void TrackList::restore(const TrackContainer &container)
{
    replaceAll(container);
}

void TrackList::setHistoryListener(TrackHistoryListener *listener)
{
    m_historyListener = listener;
}

void TrackList::aboutToChange(TrackHistoryListener::Change change, int index) const
{
    if (m_historyListener)
        m_historyListener->tracksAboutToChange(m_tracks, change, index);
}

bool TrackList::editTrack(int index, const Track &changed, QString *why)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (index < 0 || index >= count())
        return refuse(
            QCoreApplication::translate("TrackList", "There is no track %1.").arg(index + 1));
    const Track &track = m_tracks.at(index);
    const int length = fileLength();
    const auto time = [length](int ms) { return TimeText::format(ms, length); };
    const bool startMoves = changed.start != track.start;
    const bool endMoves = changed.end != track.end;
    if (changed.end - changed.start <= 1000)
        return refuse(
            QCoreApplication::translate("TrackList", "A track must last more than a second."));
    if (startMoves) {
        if (index == 0)
            return refuse(QCoreApplication::translate(
                              "TrackList", "The first track starts where the file starts (%1).")
                              .arg(time(track.start)));
        const int earliest = m_tracks.at(index - 1).start + 1000;
        if (changed.start <= earliest)
            return refuse(
                QCoreApplication::translate(
                    "TrackList",
                    "Start must be after %1: the previous track keeps more than a second.")
                    .arg(time(earliest)));
    }
    if (endMoves) {
        if (index == count() - 1)
            return refuse(QCoreApplication::translate(
                              "TrackList", "The last track ends where the file ends (%1).")
                              .arg(time(track.end)));
        const int latest = m_tracks.at(index + 1).end - 1000;
        if (changed.end >= latest)
            return refuse(
                QCoreApplication::translate(
                    "TrackList", "End must be before %1: the next track keeps more than a second.")
                    .arg(time(latest)));
    }

    aboutToChange(TrackHistoryListener::Change::Edit, index);
    Track &edited = m_tracks[index];
    edited.title = changed.title;
    edited.artist = changed.artist;
    int first = index;
    int last = index;
    if (startMoves) {
        edited.start = changed.start;
        m_tracks[index - 1].end = changed.start;
        first = index - 1;
    }
    if (endMoves) {
        edited.end = changed.end;
        m_tracks[index + 1].start = changed.end;
        last = index + 1;
    }
    notifyChanged(first, last);
    return true;
}

int TrackList::fileLength() const
{
    return m_calculater ? m_calculater->totalLength() : 0;
}

void TrackList::setCalculater(TrackCalculaterListener *listener)
{
    m_calculater = listener;
}

void TrackList::setUpdateListener(TracksUpdateListener *listener)
{
    m_updateListener = listener;
}

void TrackList::setSourcePath(const QString &path)
{
    m_sourcePath = path;
}

// Empty ranges are not reported: a model cannot remove or insert rows 0 to -1.
void TrackList::notifyRemoved(int first, int last) const
{
    if (m_updateListener && first <= last)
        m_updateListener->tracksRemoved(first, last);
}

void TrackList::notifyInserted(int first, int last) const
{
    if (m_updateListener && first <= last)
        m_updateListener->tracksInserted(first, last);
}

void TrackList::notifyChanged(int first, int last) const
{
    if (m_updateListener && first <= last)
        m_updateListener->tracksChanged(first, last);
}

void TrackList::replaceAll(const TrackContainer &container)
{
    notifyRemoved(0, count() - 1);
    m_tracks = container;
    notifyInserted(0, count() - 1);
}
