#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include "tracks/album.h"
#include "tracks/track.h"

namespace MusicBrainz {

// One release as read with its recordings: the tracks of every medium in order.
struct Release
{
    struct Entry
    {
        QString title;
        QString artist;  // the track's own artist credit
        int length = -1; // milliseconds; -1 when the service knows none
        int medium = 1;  // the medium's position in the release

        friend bool operator==(const Entry &, const Entry &) = default;
    };

    QString id;
    QString title;
    QString artist;
    QString date;
    int mediumCount = 0;
    QList<Entry> entries;

    // Tracks numbered from 1, each starting where the lengths before it add up to; the last
    // one's end is its length, for the caller to stretch to the MP3's end. False, with a
    // reason and *tracks untouched, when there are no tracks or a track other than the last
    // has no length.
    bool toTracks(TrackContainer *tracks, QString *error) const;
    // The sum of every length; -1 when one is missing.
    qint64 totalLength() const;
    // The fields every track is tagged with; the disc number is a track's own (Track::disc).
    ::Album album() const;

    friend bool operator==(const Release &, const Release &) = default;
};

} // namespace MusicBrainz

Q_DECLARE_METATYPE(MusicBrainz::Release)
