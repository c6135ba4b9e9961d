#include "musicbrainz/album.h"

namespace MusicBrainz {

::Album Album::tags() const
{
    ::Album tags;
    tags.album = title;
    tags.albumArtist = artist;
    tags.year = date;
    if (discCount > 1)
        tags.discCount = discCount;
    return tags;
}

} // namespace MusicBrainz
