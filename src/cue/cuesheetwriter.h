#pragma once

#include <QByteArray>
#include <QString>

#include "tracks/album.h"
#include "tracks/track.h"

// Writes a track list back out as a CUE sheet for its MP3, in UTF-8: the album's REM GENRE,
// REM DATE, REM DISCID, REM COMMENT, PERFORMER and TITLE, one FILE line, then per track its
// TRACK, TITLE, PERFORMER and INDEX 01 at the start rounded to the nearest 1/75 s. CUE has
// no escape for a quote inside a quoted field, so a '"' in a text is written as a
// typographic quote (alternately opening and closing); control characters become spaces.
class CueSheetWriter
{
public:
    // The sheet's bytes; mp3FileName goes into the FILE line as given.
    static QByteArray sheet(const TrackContainer &tracks, const Album &album,
                            const QString &mp3FileName);
    // Writes the sheet for mp3Path to sheetPath, complete or not at all. Refuses to write
    // over the MP3 itself. False with a message for the user.
    static bool write(const QString &sheetPath, const QString &mp3Path,
                      const TrackContainer &tracks, const Album &album, QString *error);

    // "mm:ss:ff" with as many minute digits as needed (at least two).
    static QString indexTime(int milliseconds);
    // The text as it stands between the quotes of a field.
    static QString fieldText(const QString &text);
};
