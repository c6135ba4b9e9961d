#include "cue/cuesheetwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CueSheetWriter", text);
}

QString quoted(const QString &text)
{
    return u'"' + CueSheetWriter::fieldText(text) + u'"';
}

// A REM value stays bare when it is one word, as ripping tools write it.
QString remarkValue(const QString &text)
{
    const QString field = CueSheetWriter::fieldText(text);
    return field.contains(u' ') || field.isEmpty() ? u'"' + field + u'"' : field;
}

// The same file by path or by what it resolves to; a sheet named like the MP3 in another
// letter case counts too, for the file systems that fold case.
bool isSameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.absoluteFilePath().compare(second.absoluteFilePath(), Qt::CaseInsensitive) == 0)
        return true;
    return first.exists() && second.exists()
        && first.canonicalFilePath() == second.canonicalFilePath();
}

} // namespace

QString CueSheetWriter::fieldText(const QString &text)
{
    QString field;
    field.reserve(text.size());
    bool open = true;
    for (const QChar c : text) {
        if (c == u'"') {
            field += open ? QChar(0x201C) : QChar(0x201D);
            open = !open;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            field += u' ';
        } else {
            field += c;
        }
    }
    return field;
}

QString CueSheetWriter::indexTime(int milliseconds)
{
    const qint64 frames = (qint64(std::max(milliseconds, 0)) * 75 + 500) / 1000;
    return u"%1:%2:%3"_s.arg(frames / (75 * 60), 2, 10, QChar(u'0'))
        .arg(frames / 75 % 60, 2, 10, QChar(u'0'))
        .arg(frames % 75, 2, 10, QChar(u'0'));
}

QByteArray CueSheetWriter::sheet(const TrackContainer &tracks, const Album &album,
                                 const QString &mp3FileName)
{
    QString text;
    const auto line = [&text](const QString &content) { text += content + u"\r\n"_s; };
    if (!album.genre.isEmpty())
        line(u"REM GENRE "_s + remarkValue(album.genre));
    if (!album.year.isEmpty())
        line(u"REM DATE "_s + remarkValue(album.year));
    if (!album.discId.isEmpty())
        line(u"REM DISCID "_s + remarkValue(album.discId));
    if (!album.comment.isEmpty())
        line(u"REM COMMENT "_s + quoted(album.comment));
    if (album.discNumber > 0)
        line(u"REM DISCNUMBER %1"_s.arg(album.discNumber));
    if (album.discCount > 0)
        line(u"REM TOTALDISCS %1"_s.arg(album.discCount));
    if (!album.albumArtist.isEmpty())
        line(u"PERFORMER "_s + quoted(album.albumArtist));
    if (!album.album.isEmpty())
        line(u"TITLE "_s + quoted(album.album));
    line(u"FILE "_s + quoted(mp3FileName) + u" MP3"_s);
    int number = 0;
    for (const Track &track : tracks) {
        line(u"  TRACK %1 AUDIO"_s.arg(++number, 2, 10, QChar(u'0')));
        line(u"    TITLE "_s + quoted(track.title));
        if (!track.artist.isEmpty())
            line(u"    PERFORMER "_s + quoted(track.artist));
        line(u"    INDEX 01 "_s + indexTime(track.start));
    }
    return text.toUtf8();
}

bool CueSheetWriter::write(const QString &sheetPath, const QString &mp3Path,
                           const TrackContainer &tracks, const Album &album, QString *error)
{
    if (isSameFile(sheetPath, mp3Path)) {
        *error = tr("The sheet cannot be saved as %1: that is the MP3 itself.")
                     .arg(QDir::toNativeSeparators(sheetPath));
        return false;
    }
    QSaveFile file(sheetPath);
    const QByteArray bytes = sheet(tracks, album, QFileInfo(mp3Path).fileName());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("Cannot save the sheet %1: %2")
                     .arg(QDir::toNativeSeparators(sheetPath), file.errorString());
        return false;
    }
    return true;
}
