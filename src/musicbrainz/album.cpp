#include "musicbrainz/album.h"

namespace MusicBrainz {

::Album Album::tags() const
{
    ::Album tags;
    tags.album = title;
    tags.albumArtist = artist;
    tags.year = date;
    return tags;
}

} // namespace MusicBrainz
