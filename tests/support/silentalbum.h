#pragma once

#include <QString>
#include <QStringList>

// An album of three pieces made by ffmpeg and encoded by lame (44.1 kHz stereo): a tone that
// fades out, pink noise that fades in and holds a quiet passage peaking 40 dB under full
// scale, and a tone that fades in, with two seconds of digital silence between the pieces.
namespace SilentAlbum {

struct Span
{
    double start;
    double end;
};
inline constexpr Span firstGap{4.0, 6.0};
inline constexpr Span quietPassage{8.5, 10.5};
inline constexpr Span secondGap{13.0, 15.0};
inline constexpr double length = 18.0;

// withGaps false: ten seconds of pink noise, with no silence at all.
bool make(const QString &mp3Path, bool withGaps, const QStringList &lameArguments,
          QString *errorString = nullptr);

} // namespace SilentAlbum
