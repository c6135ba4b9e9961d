#include "musicbrainz/release.h"

#include <algorithm>

#include <limits>

using namespace Qt::StringLiterals;

namespace MusicBrainz {

bool Release::toTracks(TrackContainer *tracks, QString *error) const
{
    auto reject = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (entries.isEmpty())
        return reject(u"the release lists no tracks"_s);
    TrackContainer result;
    qint64 start = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries.at(i);
        const bool last = i + 1 == entries.size();
        if (entry.length < 0 && !last)
            return reject(u"track %1 (\"%2\") has no length, so the release gives no "
                          "boundaries"_s.arg(i + 1)
                              .arg(entry.title));
        const qint64 end = start + std::max(entry.length, 0);
        if (end > std::numeric_limits<int>::max())
            return reject(u"the release is longer than any MP3"_s);
        Track track{entry.title, entry.artist, int(i + 1), int(start), int(end)};
        if (mediumCount > 1)
            track.disc = entry.medium;
        result.append(track);
        start = end;
    }
    *tracks = result;
    return true;
}

qint64 Release::totalLength() const
{
    qint64 total = 0;
    for (const Entry &entry : entries) {
        if (entry.length < 0)
            return -1;
        total += entry.length;
    }
    return total;
}

::Album Release::album() const
{
    ::Album album;
    album.album = title;
    album.albumArtist = artist;
    album.year = date;
    if (mediumCount > 1)
        album.discCount = mediumCount;
    return album;
}

} // namespace MusicBrainz
