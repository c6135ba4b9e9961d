#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include "tracks/album.h"
#include "tracks/track.h"

// One TRACK block as read from the sheet. A block without a usable INDEX keeps 00:59:00.
struct CueRawTrack
{
    QString title;
    QString performer;
    int minutes = 0; // any number of digits in the sheet, capped at maxMinutes
    quint8 seconds = 59;
    quint8 frames = 0; // 1/75 s

    friend bool operator==(const CueRawTrack &, const CueRawTrack &) = default;
};

// The state of one lenient parse of a CUE sheet: looks for TRACK, TITLE, PERFORMER and INDEX
// anywhere in a line, and before the first track for the album's REM fields, and ignores
// everything else. A quoted value runs to the last quote of its line, so a title with
// quotes inside left raw by some tool keeps them. Any bytes are accepted; what cannot be
// read is skipped. Not thread-bound; one object per parse.
class CueSheetParser
{
public:
    // Sheets are small text files; anything bigger is not read at all.
    static constexpr qint64 maxSheetSize = 16 * 1024 * 1024;
    // The largest minutes whose start still fits a millisecond int (about 596 hours).
    static constexpr int maxMinutes = 35789;

    // Returns false (and leaves no entries) when the file cannot be opened or is too big.
    bool parseFile(const QString &path);
    void parseData(const QByteArray &bytes);
    void parseText(const QString &text);

    const QList<CueRawTrack> &entries() const { return m_entries; }
    // The sheet's top-level TITLE, PERFORMER and REM DATE, GENRE, DISCID, COMMENT, DISCNUMBER
    // and TOTALDISCS.
    const Album &album() const { return m_album; }

    // Tracks in sheet order numbered 1..n, each ending where the next starts; the last ends at 0.
    static TrackContainer buildTracks(const QList<CueRawTrack> &entries);
    static int startMilliseconds(const CueRawTrack &entry);
    static int startCdFrame(const CueRawTrack &entry);

private:
    void readHeaderLine(QStringView line);
    bool readRemark(QStringView line);
    void readTrackLine(QStringView line);
    void readIndex(QStringView line, qsizetype keyword, CueRawTrack &entry);

    Album m_album;
    QList<CueRawTrack> m_entries;
};
