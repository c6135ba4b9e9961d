#include "cue/cuesheetparser.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "cue/cuetextdecoder.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView trackKeyword = u"TRACK";
constexpr QStringView titleKeyword = u"TITLE";
constexpr QStringView performerKeyword = u"PERFORMER";
constexpr QStringView indexKeyword = u"INDEX";
constexpr QStringView remarkKeyword = u"REM ";

// The value between the first double quote at or after `from` and the last one of the line.
// Without an opening quote the whole line up to its first quote is taken, so an unquoted title
// survives.
QString quotedValue(QStringView line, qsizetype from)
{
    const qsizetype open = line.indexOf(u'"', from);
    if (open < 0) {
        const qsizetype firstQuote = line.indexOf(u'"');
        return (firstQuote < 0 ? line : line.first(firstQuote)).toString();
    }
    const qsizetype close = line.lastIndexOf(u'"');
    if (close <= open)
        return line.sliced(open + 1).toString();
    return line.sliced(open + 1, close - open - 1).toString();
}

// A REM value: quoted like any other, or the bare rest of the line.
QString remarkValue(QStringView line, qsizetype from)
{
    const QStringView rest = line.sliced(from).trimmed();
    if (rest.startsWith(u'"'))
        return quotedValue(rest, 0);
    return rest.toString();
}

// Up to `length` characters from `pos`, shorter or empty near the end of the line.
QStringView clippedMid(QStringView line, qsizetype pos, qsizetype length)
{
    if (pos < 0 || pos >= line.size())
        return {};
    return line.sliced(pos, std::min(length, line.size() - pos));
}

// A two-character time field: decimal, 0 when not a number, low 8 bits, then capped.
quint8 timeField(QStringView text, quint8 cap)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    const auto low = static_cast<quint8>(ok ? value : 0);
    return std::min(low, cap);
}

// The minutes are every digit just before the colon, so a mix or audiobook past 99 minutes
// keeps its times; what does not fit a millisecond int is capped.
int minutesField(QStringView line, qsizetype colon)
{
    qsizetype first = colon;
    while (first > 0 && line[first - 1].isDigit() && line[first - 1].unicode() < 0x80)
        --first;
    qint64 minutes = 0;
    for (qsizetype i = first; i < colon && minutes <= CueSheetParser::maxMinutes; ++i)
        minutes = minutes * 10 + (line[i].unicode() - u'0');
    return int(std::min<qint64>(minutes, CueSheetParser::maxMinutes));
}

} // namespace

bool CueSheetParser::parseFile(const QString &path)
{
    // A FIFO or device named like a sheet would block or never end; only plain files are read.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > maxSheetSize)
        return false;
    // Bounded again in case the file grows between the size check and the read.
    parseData(file.read(maxSheetSize));
    return true;
}

void CueSheetParser::parseData(const QByteArray &bytes)
{
    parseText(CueTextDecoder::decode(bytes));
}

void CueSheetParser::parseText(const QString &text)
{
    const QStringView all(text);
    const qsizetype size = all.size();
    qsizetype lineStart = 0;
    while (lineStart < size) {
        // CR LF, LF and a lone CR (old Mac tools) each end one line.
        qsizetype lineEnd = lineStart;
        while (lineEnd < size && all[lineEnd] != u'\n' && all[lineEnd] != u'\r')
            ++lineEnd;
        const QStringView line = all.sliced(lineStart, lineEnd - lineStart);
        if (m_entries.isEmpty())
            readHeaderLine(line);
        else
            readTrackLine(line);
        lineStart = lineEnd + 1;
        if (lineEnd + 1 < size && all[lineEnd] == u'\r' && all[lineEnd + 1] == u'\n')
            ++lineStart;
    }
}

void CueSheetParser::readHeaderLine(QStringView line)
{
    if (line.isEmpty() || readRemark(line))
        return;
    qsizetype at = -1;
    if (m_album.album.isEmpty() && (at = line.indexOf(titleKeyword)) >= 0) {
        m_album.album = quotedValue(line, at + titleKeyword.size());
        return;
    }
    if (m_album.albumArtist.isEmpty() && (at = line.indexOf(performerKeyword)) >= 0) {
        m_album.albumArtist = quotedValue(line, at + performerKeyword.size());
        return;
    }
    if (line.contains(trackKeyword))
        m_entries.append(CueRawTrack());
}

bool CueSheetParser::readRemark(QStringView line)
{
    // Only at the start of a line: "The REM Band" is a performer.
    const QStringView trimmed = line.trimmed();
    if (!trimmed.startsWith(remarkKeyword))
        return false;
    const QStringView rest = trimmed.sliced(remarkKeyword.size()).trimmed();
    const qsizetype space = rest.indexOf(u' ');
    if (space < 0)
        return true;
    const QStringView key = rest.first(space);
    const QString value = remarkValue(rest, space);
    QString *text = key == u"DATE" ? &m_album.year
        : key == u"GENRE"          ? &m_album.genre
        : key == u"DISCID"         ? &m_album.discId
        : key == u"COMMENT"        ? &m_album.comment
                                   : nullptr;
    if (text && text->isEmpty())
        *text = value;
    if (key == u"DISCNUMBER" || key == u"TOTALDISCS") {
        // Small numbers only; anything else is not a disc position.
        const int number = value.toInt();
        if (number > 0 && number < 1000)
            (key == u"DISCNUMBER" ? m_album.discNumber : m_album.discCount) = number;
    }
    return true;
}

void CueSheetParser::readTrackLine(QStringView line)
{
    // The first keyword in the order TRACK, TITLE, PERFORMER, INDEX decides.
    CueRawTrack &entry = m_entries.last();
    qsizetype at = -1;
    if (line.contains(trackKeyword))
        m_entries.append(CueRawTrack());
    else if ((at = line.indexOf(titleKeyword)) >= 0)
        entry.title = quotedValue(line, at + titleKeyword.size());
    else if ((at = line.indexOf(performerKeyword)) >= 0)
        entry.performer = quotedValue(line, at + performerKeyword.size());
    else if ((at = line.indexOf(indexKeyword)) >= 0)
        readIndex(line, at, entry);
}

void CueSheetParser::readIndex(QStringView line, qsizetype keyword, CueRawTrack &entry)
{
    const qsizetype afterKeyword = keyword + indexKeyword.size();
    const qsizetype numberSpace = line.indexOf(u' ', afterKeyword);
    if (numberSpace >= 0) {
        const qsizetype numberEnd = line.indexOf(u' ', numberSpace + 1);
        const QStringView number = numberEnd < 0
            ? line.sliced(numberSpace + 1)
            : line.sliced(numberSpace + 1, numberEnd - numberSpace - 1);
        if (number == u"00")
            return; // the pre-gap, not the track's start
    }
    // "INDEX nn mm:ss:ff": the first colon from four characters past the keyword on. A line
    // without one carries no time, so the entry keeps what it had.
    const qsizetype colon = line.indexOf(u':', keyword + 9);
    if (colon < 0)
        return;
    entry.minutes = minutesField(line, colon);
    entry.seconds = timeField(clippedMid(line, colon + 1, 2), 99);
    entry.frames = timeField(clippedMid(line, colon + 4, 2), 74);
}

int CueSheetParser::startMilliseconds(const CueRawTrack &entry)
{
    return Track::millisecondsOfCdFrame(startCdFrame(entry));
}

int CueSheetParser::startCdFrame(const CueRawTrack &entry)
{
    return (entry.minutes * 60 + entry.seconds) * 75 + entry.frames;
}

TrackContainer CueSheetParser::buildTracks(const QList<CueRawTrack> &entries)
{
    TrackContainer tracks;
    tracks.reserve(entries.size());
    int nextStart = 0;
    int nextStartCdFrame = -1;
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const CueRawTrack &entry = entries.at(i);
        Track track;
        track.title = entry.title;
        track.artist = entry.performer;
        track.number = int(i + 1);
        track.start = startMilliseconds(entry);
        track.startCdFrame = startCdFrame(entry);
        track.end = nextStart;
        track.endCdFrame = nextStartCdFrame;
        nextStart = track.start;
        nextStartCdFrame = track.startCdFrame;
        tracks.prepend(track);
    }
    return tracks;
}
