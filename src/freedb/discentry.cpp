#include "freedb/discentry.h"

#include <limits>

namespace Freedb {

namespace {

constexpr qint64 numberLimit = 1'000'000'000'000;

qsizetype findLine(const QList<QByteArray> &lines, qsizetype from, const char *text)
{
    for (qsizetype i = from; i < lines.size(); ++i) {
        if (lines.at(i).contains(text))
            return i;
    }
    return -1;
}

bool fitsInt(double value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// The value after the first '=' of the first line holding key from `from` on; empty when none.
QString keyValue(const QList<QByteArray> &lines, qsizetype from, const char *key)
{
    const qsizetype at = findLine(lines, from, key);
    if (at < 0)
        return {};
    const qsizetype equals = lines.at(at).indexOf('=');
    return equals < 0 ? QString() : QString::fromLatin1(lines.at(at).sliced(equals + 1)).trimmed();
}

// "Artist / Name" split at its first " / "; without one, the whole text is both.
void splitCredit(const QString &text, QString *artist, QString *name)
{
    const qsizetype at = text.indexOf(u" / ");
    *artist = at < 0 ? text : text.first(at).trimmed();
    *name = at < 0 ? text : text.sliced(at + 3).trimmed();
}

} // namespace

DiscEntry::DiscEntry(const QList<QByteArray> &lines)
    : m_lines(lines)
{
    parse();
}

bool DiscEntry::readNumber(const QByteArray &line, qint64 *number)
{
    qsizetype pos = 0;
    while (pos < line.size() && (line.at(pos) < '0' || line.at(pos) > '9'))
        ++pos;
    if (pos == line.size())
        return false;
    qint64 value = 0;
    for (; pos < line.size() && line.at(pos) >= '0' && line.at(pos) <= '9'; ++pos) {
        value = value * 10 + (line.at(pos) - '0');
        if (value > numberLimit)
            return false;
    }
    *number = value;
    return true;
}

bool DiscEntry::fail()
{
    m_tracks.clear();
    m_album = Album();
    m_valid = false;
    return false;
}

bool DiscEntry::parse()
{
    m_tracks.clear();
    m_album = Album();
    const qsizetype offsets = findLine(m_lines, 0, "Track frame offsets");
    if (offsets < 0)
        return fail();
    const qsizetype length = findLine(m_lines, offsets + 1, "Disc length");
    if (length < 0)
        return fail();

    for (qsizetype i = offsets + 1; i < length; ++i) {
        qint64 offset = 0;
        if (!readNumber(m_lines.at(i), &offset))
            continue;
        // A CD frame is 1/75 s, and the first 150 frames are the lead-in before the audio.
        const double start = (double(offset) / 75.0 - 2.0) * 1000.0;
        if (!fitsInt(start))
            return fail();
        Track track;
        track.start = int(start);
        // Its time fits in milliseconds, so it fits in CD frames.
        if (offset >= 150) {
            track.startCdFrame = int(offset - 150);
            track.start = Track::millisecondsOfCdFrame(track.startCdFrame);
        }
        m_tracks.append(track);
    }

    qint64 seconds = 0;
    if (!readNumber(m_lines.at(length), &seconds) || !fitsInt(double(seconds) * 1000.0))
        return fail();
    const int discEnd = int(seconds * 1000);

    const qsizetype dtitle = findLine(m_lines, length + 1, "DTITLE");
    if (dtitle < 0)
        return fail();
    const qsizetype equals = m_lines.at(dtitle).indexOf('=');
    if (equals < 0)
        return fail();
    QString artist;
    splitCredit(QString::fromLatin1(m_lines.at(dtitle).sliced(equals + 1)), &artist,
                &m_album.album);
    m_album.albumArtist = artist;
    m_album.year = keyValue(m_lines, dtitle + 1, "DYEAR");
    m_album.genre = keyValue(m_lines, dtitle + 1, "DGENRE");

    // Titles go to tracks in line order; lines beyond the last track have no track to name.
    qsizetype k = 0;
    for (qsizetype i = findLine(m_lines, dtitle + 1, "TTITLE"); i >= 0 && k < m_tracks.size();
         i = findLine(m_lines, i + 1, "TTITLE"), ++k) {
        const qsizetype titleEquals = m_lines.at(i).indexOf('=');
        if (titleEquals < 0)
            return fail();
        Track &track = m_tracks[k];
        const QString title = QString::fromLatin1(m_lines.at(i).sliced(titleEquals + 1));
        track.artist = artist;
        track.title = title;
        if (title.contains(u" / "))
            splitCredit(title, &track.artist, &track.title);
        track.number = int(k + 1);
    }

    for (qsizetype i = 0; i + 1 < m_tracks.size(); ++i) {
        m_tracks[i].end = m_tracks.at(i + 1).start;
        m_tracks[i].endCdFrame = m_tracks.at(i + 1).startCdFrame;
    }
    // An entry without offsets has nothing to replace a track list with.
    if (m_tracks.isEmpty())
        return fail();
    m_tracks.last().end = discEnd;
    m_album.discId = keyValue(m_lines, 0, "DISCID");
    m_valid = true;
    return true;
}

} // namespace Freedb
