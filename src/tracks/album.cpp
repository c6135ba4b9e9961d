#include "tracks/album.h"

namespace {

void fill(QString &field, const QString &fallback)
{
    if (field.isEmpty())
        field = fallback;
}

// Done at load as well, for code that never registers before a queued emit.
const bool albumMetaTypeRegistered = (registerAlbumMetaType(), true);

} // namespace

Album Album::filledFrom(const Album &fallback) const
{
    Album merged = *this;
    fill(merged.album, fallback.album);
    fill(merged.albumArtist, fallback.albumArtist);
    fill(merged.year, fallback.year);
    fill(merged.genre, fallback.genre);
    fill(merged.composer, fallback.composer);
    fill(merged.comment, fallback.comment);
    fill(merged.discId, fallback.discId);
    // Disc number and count belong together: half of one pair and half of another would
    // name a disc that does not exist.
    if (merged.discNumber == 0 && merged.discCount == 0) {
        merged.discNumber = fallback.discNumber;
        merged.discCount = fallback.discCount;
    }
    return merged;
}

void registerAlbumMetaType()
{
    qRegisterMetaType<Album>("Album");
}
