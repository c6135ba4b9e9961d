#pragma once

#include <QString>

// Text forms of a time, shared by the track table, the edit dialog, the ruler and the command
// line. A file of an hour or more shows hours in every time ("h:mm:ss.hh"), a shorter one
// "mm:ss.hh", so that one file's times line up.
class TimeText final
{
public:
    TimeText() = delete;

    static constexpr int HourMs = 3600000;

    // "mm:ss.hh", or "h:mm:ss.hh" when ms or fileLength is an hour or more.
    static QString format(int ms, int fileLength = 0);
    // Whole seconds, no leading zero: "4:30", or "0:04:30" and "1:05:00" in a long file.
    static QString formatSeconds(int ms, int fileLength = 0);

    // Reads h:mm:ss.hh, h:mm:ss, mm:ss.hh, mm:ss, m:ss (minutes may pass 99) and plain
    // seconds ("75", "75.5"); blanks around the text are ignored. The fraction is decimal
    // (".5" is half a second, up to milliseconds); after a colon a field has two digits and
    // stays below 60. Anything else, or a time past what an int holds, sets *ok false and
    // returns 0.
    static int parse(const QString &text, bool *ok = nullptr);
};
