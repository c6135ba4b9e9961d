#pragma once

#include <QString>

// Text form of a time, "mm:ss.hh": minutes, seconds and hundredths, each at least two
// digits. Shared by the track table, the edit dialog and the markers.
class TimeText final
{
public:
    TimeText() = delete;

    static QString format(int ms);
    // Minutes up to ':', seconds up to the next '.', hundredths after it; each part must be
    // plain decimal digits and the sum must fit an int, else *ok is false and 0 returned.
    // Seconds are not limited to 59.
    static int parse(const QString &text, bool *ok = nullptr);
};
