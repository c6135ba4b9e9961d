#include "tracks/timetext.h"

#include <QStringList>

#include <limits>

namespace {

QString twoDigits(qint64 value)
{
    return QString::number(value).rightJustified(2, u'0');
}

bool withHours(int ms, int fileLength)
{
    return ms >= TimeText::HourMs || fileLength >= TimeText::HourMs;
}

// Digits only: no sign, no blanks, and short enough that the sum cannot overflow.
bool readDecimal(QStringView part, qint64 *value)
{
    if (part.isEmpty() || part.size() > 9)
        return false;
    qint64 result = 0;
    for (const QChar c : part) {
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c.unicode() - u'0');
    }
    *value = result;
    return true;
}

// "ss" or "ss.f" to "sss" milliseconds; the fraction has one to three digits.
bool readSeconds(QStringView part, qint64 *ms)
{
    const qsizetype dot = part.indexOf(u'.');
    qint64 seconds = 0;
    if (!readDecimal(dot < 0 ? part : part.first(dot), &seconds))
        return false;
    qint64 fraction = 0;
    if (dot >= 0) {
        const QStringView digits = part.sliced(dot + 1);
        if (digits.size() > 3 || !readDecimal(digits, &fraction))
            return false;
        for (qsizetype i = digits.size(); i < 3; ++i)
            fraction *= 10;
    }
    *ms = seconds * 1000 + fraction;
    return true;
}

} // namespace

QString TimeText::format(int ms, int fileLength)
{
    const qint64 value = std::max(ms, 0);
    const QString rest =
        QStringLiteral("%1.%2").arg(twoDigits(value / 1000 % 60), twoDigits(value % 1000 / 10));
    if (withHours(ms, fileLength))
        return QStringLiteral("%1:%2:%3")
            .arg(value / HourMs)
            .arg(twoDigits(value / 60000 % 60), rest);
    return QStringLiteral("%1:%2").arg(twoDigits(value / 60000), rest);
}

QString TimeText::formatSeconds(int ms, int fileLength)
{
    const qint64 value = std::max(ms, 0);
    const QString seconds = twoDigits(value / 1000 % 60);
    if (withHours(ms, fileLength))
        return QStringLiteral("%1:%2:%3")
            .arg(value / HourMs)
            .arg(twoDigits(value / 60000 % 60), seconds);
    return QStringLiteral("%1:%2").arg(value / 60000).arg(seconds);
}

int TimeText::parse(const QString &text, bool *ok)
{
    if (ok)
        *ok = false;
    const QStringList parts = text.trimmed().split(u':');
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 ms = 0;
    // Only the last part may carry a fraction; minutes and hours are whole.
    if (parts.size() > 3 || !readSeconds(parts.last(), &ms))
        return 0;
    // After a colon a field has two digits: "1:2" could as well mean 1:20 as 1:02.
    const auto twoDigitField = [](QStringView part) {
        return part.size() >= 2 && (part.size() == 2 || part.at(2) == u'.');
    };
    if (parts.size() > 1
        && (ms >= 60000 || !twoDigitField(parts.last())
            || !readDecimal(parts.at(parts.size() - 2), &minutes)))
        return 0;
    if (parts.size() == 3
        && (minutes >= 60 || parts.at(1).size() != 2 || !readDecimal(parts.first(), &hours)))
        return 0;
    const qint64 total = hours * HourMs + minutes * 60000 + ms;
    if (total > std::numeric_limits<int>::max())
        return 0;
    if (ok)
        *ok = true;
    return static_cast<int>(total);
}
