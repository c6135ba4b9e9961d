#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace MusicBrainz {

// One release found by a search, as the list of a search answer gives it.
struct ReleaseSummary
{
    QString id; // the MBID
    QString title;
    QString artist; // the artist credit, names joined by their join phrases
    QString date;   // "YYYY", "YYYY-MM" or "YYYY-MM-DD"; may be empty
    QString country;
    int trackCount = 0;
    QStringList formats; // one per medium, e.g. "CD", "Digital Media"

    QString year() const { return date.left(4); }
    friend bool operator==(const ReleaseSummary &, const ReleaseSummary &) = default;
};

using ReleaseList = QList<ReleaseSummary>;

// Registers the MusicBrainz value types for queued signals. Safe to call repeatedly.
void registerMetaTypes();

} // namespace MusicBrainz

Q_DECLARE_METATYPE(MusicBrainz::ReleaseSummary)
Q_DECLARE_METATYPE(MusicBrainz::ReleaseList)
