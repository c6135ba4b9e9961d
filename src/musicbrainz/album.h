#pragma once

#include <QString>

#include "tracks/album.h"

namespace MusicBrainz {

// What a release says about the album as a whole, for album tags.
struct Album
{
    QString title;
    QString artist; // the release's artist credit
    QString date;
    int discCount = 0; // media in the release

    // The fields every track is tagged with; the disc number is a track's own (Track::disc).
    ::Album tags() const;

    friend bool operator==(const Album &, const Album &) = default;
};

} // namespace MusicBrainz
