#pragma once

#include <QByteArray>
#include <QString>

#include "tracks/album.h"
#include "tracks/track.h"

// Tags the written tracks of one slice. Made once per slice: it reads the source MP3's own
// ID3v2, APE and ID3v1 tags (in that order of trust) read-only, and fills what the album
// given by the track source leaves unsaid with the source's album, album artist, year,
// genre and composer; the source's front cover goes along unchanged. Nothing else of the
// source's tags is taken: its title, comment and replay gain describe the whole file.
class TrackTagger
{
public:
    struct Picture
    {
        QString mimeType;
        QString description;
        QByteArray data;
    };

    // An empty source path reads nothing. trackTotal is the length of the whole track list
    // (0: unknown, the track number is written alone).
    TrackTagger(const QString &sourcePath, const Album &album, int trackTotal);

    // Writes title, artist, album fields, "n/N" and the cover into the file's ID3v2 tag in
    // one save. False when TagLib cannot open or save it.
    bool tag(const QString &path, const Track &track) const;

private:
    // What the source file's own tags say, and its front cover (the first picture when
    // none is marked front).
    static Album readSourceAlbum(const QString &sourcePath, Picture *cover);

    Album m_album;
    Picture m_cover;
    int m_trackTotal = 0;
};
