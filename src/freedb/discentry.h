#pragma once

#include <QByteArray>
#include <QList>

#include "tracks/album.h"
#include "tracks/track.h"

namespace Freedb {

// A disc entry from a cddb read, turned into tracks: starts from the CD frame offsets, the
// last end at the disc length, titles from the TTITLE lines in line order. DTITLE
// "Artist / Album" gives the album and every track's artist; without " / " it is both. A
// TTITLE "Artist / Title" (a compilation) gives that track its own artist. DYEAR and DGENRE
// go to the album. An entry that lacks a marker, a number or an '=' where one is needed, or
// whose times do not fit, yields no tracks.
class DiscEntry final
{
public:
    // Copies the lines (the whole response, HTTP headers included) and parses them.
    explicit DiscEntry(const QList<QByteArray> &lines);

    // Parses the lines again; true when an entry with at least its markers was found.
    bool parse();
    bool isValid() const { return m_valid; }
    TrackContainer tracks() const { return m_tracks; }
    Album album() const { return m_album; }
    QList<QByteArray> lines() const { return m_lines; }

    // The decimal number that starts at the line's first digit; false when it has none or
    // it is too large to mean anything on a CD.
    static bool readNumber(const QByteArray &line, qint64 *number);

private:
    bool fail();

    QList<QByteArray> m_lines;
    TrackContainer m_tracks;
    Album m_album;
    bool m_valid = false;
};

} // namespace Freedb
