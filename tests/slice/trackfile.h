#pragma once

#include <QByteArray>
#include <QString>

// A written track file taken apart for checks: the ID3v2 tag in front, the ID3v1 tag at
// the end, and the audio frames between them, split off its leading Xing frame if any.
struct TrackFile
{
    QByteArray bytes;
    int id3v2Size = 0;
    bool hasId3v1 = false;
    QByteArray audio;     // every frame, the Xing frame included
    QByteArray xingFrame; // empty when the first frame holds no "Xing"
    QByteArray frames;    // audio without the Xing frame
    QString artist;       // as TagLib reads them; empty when it cannot
    QString title;

    static TrackFile read(const QString &path);
    // True when the repair engine, asked as the slice job asks it, finds the track right and
    // leaves it alone.
    static bool judgedRight(const QString &path, bool keepEncoderDelay, bool keepEncoderPadding);
    // Size of the MPEG-1/2 Layer III frame starting with these four header bytes, 0 if none.
    static int frameSize(const QByteArray &bytes, qsizetype at);
    static int xingOffset(const QByteArray &bytes, qsizetype at);
};
