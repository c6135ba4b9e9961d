#pragma once

#include <QByteArray>
#include <QString>

// Turns the raw bytes of a CUE sheet into text. A byte-order mark decides (UTF-8, UTF-16 and
// UTF-32, either byte order); without one, bytes that form valid UTF-8 are read as UTF-8 and
// anything else as Windows-1252, the usual output of ripping tools. Never fails.
class CueTextDecoder
{
public:
    enum class Encoding {
        Utf8,
        Utf16LE,
        Utf16BE,
        Utf32LE,
        Utf32BE,
        Windows1252
    };

    static QString decode(const QByteArray &bytes);
    // The encoding decode() reads the bytes in, and the length of the mark it skips.
    static Encoding detect(const QByteArray &bytes, qsizetype *bomLength = nullptr);

    static bool isValidUtf8(const QByteArray &bytes);
    static QString fromWindows1252(const QByteArray &bytes);
};
