#pragma once

#include <QString>

// The file name of one written track, made from its number, artist and title.
// Characters a file system cannot take ("/" and control characters) are replaced or
// dropped, and an over-long name is shortened; everything else stays as given.
struct TrackName
{
    QString artist;
    QString title;
    int number = 0;

    // File name without folder, ending in ".mp3".
    static QString fileName(const TrackName &name);
    // The pattern with "$artist", "$title" and "$index" replaced, plus ".mp3".
    static QString expand(const QString &pattern, const TrackName &name);
    // The number with at least two digits.
    static QString indexText(int number);
    // path itself when nothing is there, else the first free "name (2).mp3", "name (3).mp3"
    // ... beside it, shortened like every name.
    static QString unusedPath(const QString &path);

    // Longest file name, in bytes of the file system's encoding, a folder entry can hold.
    static constexpr int maximumFileNameBytes = 255;
    // A track is written under its name plus this suffix (".XXXXXX") until it is complete,
    // so names are kept this much shorter.
    static constexpr int temporarySuffixBytes = 7;
};
