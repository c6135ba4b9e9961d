#pragma once

#include <QMetaType>
#include <QString>

// What a release says about all of its tracks: the fields every written track is tagged
// with beside its own artist and title. Empty text and 0 mean "not said".
struct Album
{
    QString album;
    QString albumArtist;
    QString year; // as given: "1999" or a full date such as "1999-05-01"
    QString genre;
    QString composer;
    QString comment;
    QString discId;
    int discNumber = 0;
    int discCount = 0;

    bool isEmpty() const { return *this == Album(); }
    // Every field this album says, and what it leaves unsaid taken from fallback: the track
    // source wins over the source file's own tags.
    Album filledFrom(const Album &fallback) const;

    friend bool operator==(const Album &, const Album &) = default;
};

Q_DECLARE_METATYPE(Album)

// Registers Album under its own name for queued string-based signatures. Safe to call
// repeatedly.
void registerAlbumMetaType();
