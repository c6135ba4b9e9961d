#include "tracks/timetext.h"

#include <limits>

namespace {

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
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

} // namespace

QString TimeText::format(int ms)
{
    return QStringLiteral("%1:%2.%3")
        .arg(twoDigits(ms / 60000), twoDigits((ms % 60000) / 1000), twoDigits((ms % 1000) / 10));
}

int TimeText::parse(const QString &text, bool *ok)
{
    if (ok)
        *ok = false;
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return 0;
    const qsizetype dot = text.indexOf(u'.', colon + 1);
    if (dot < 0)
        return 0;
    const QStringView view(text);
    qint64 minutes = 0;
    qint64 seconds = 0;
    qint64 hundredths = 0;
    if (!readDecimal(view.first(colon), &minutes)
        || !readDecimal(view.sliced(colon + 1, dot - colon - 1), &seconds)
        || !readDecimal(view.sliced(dot + 1), &hundredths))
        return 0;
    const qint64 ms = minutes * 60000 + seconds * 1000 + hundredths * 10;
    if (ms > std::numeric_limits<int>::max())
        return 0;
    if (ok)
        *ok = true;
    return static_cast<int>(ms);
}
