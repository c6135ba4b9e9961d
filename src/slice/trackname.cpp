#include "slice/trackname.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TrackName", text);
}

// A "/" would name a folder and a control character is refused or invisible in file
// names; both are common in CUE and freedb data ("AC/DC").
QString fileSystemSafe(const QString &value)
{
    QString safe;
    safe.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'/')
            safe += u'-';
        else if (c.category() != QChar::Other_Control)
            safe += c;
    }
    return safe;
}

QString shortened(const QString &name)
{
    static const QString suffix = u".mp3"_s;
    constexpr int limit = TrackName::maximumFileNameBytes - TrackName::temporarySuffixBytes;
    if (QFile::encodeName(name).size() <= limit)
        return name;
    QString base = name.left(name.size() - suffix.size());
    while (!base.isEmpty() && QFile::encodeName(base + suffix).size() > limit) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    return base + suffix;
}

} // namespace

QString TrackName::fileName(const TrackName &name)
{
    const QString index = tr("$index");
    QString pattern;
    if (!name.artist.isEmpty() && !name.title.isEmpty())
        pattern = index + u" - "_s + tr("$artist") + u" - "_s + tr("$title");
    else if (!name.artist.isEmpty())
        pattern = index + u" - "_s + tr("$artist") + tr(" - track") + index;
    else if (!name.title.isEmpty())
        pattern = index + u" - "_s + tr("$title");
    else
        pattern = tr("track") + index;
    return shortened(expand(pattern, name));
}

QString TrackName::expand(const QString &pattern, const TrackName &name)
{
    const QString artist = tr("$artist");
    const QString title = tr("$title");
    const QString index = tr("$index");

    QString result;
    qsizetype i = 0;
    while (i < pattern.size()) {
        if (pattern.at(i) != u'$') {
            result += pattern.at(i++);
            continue;
        }
        // Collect from the "$" until the text is one of the placeholders; a pattern that
        // ends first drops what was collected.
        QString collected;
        bool replaced = false;
        while (i < pattern.size()) {
            collected += pattern.at(i++);
            if (collected == artist) {
                result += fileSystemSafe(name.artist);
                replaced = true;
            } else if (collected == title) {
                result += fileSystemSafe(name.title);
                replaced = true;
            } else if (collected == index) {
                result += indexText(name.number);
                replaced = true;
            }
            if (replaced)
                break;
        }
    }
    return result + u".mp3"_s;
}

QString TrackName::unusedPath(const QString &path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString base = info.completeBaseName();
    for (int copy = 2;; ++copy) {
        const QString suffix = u" (%1).mp3"_s.arg(copy);
        QString name = shortened(base + suffix);
        // A shortened name must keep its number.
        if (!name.endsWith(suffix))
            name = shortened(base.left(base.size() / 2) + suffix);
        const QString candidate = info.dir().filePath(name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString TrackName::indexText(int number)
{
    if (number >= 0 && number <= 9)
        return u"0%1"_s.arg(number);
    return u"%1"_s.arg(number);
}
