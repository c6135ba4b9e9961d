#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One track of the opened file; times are milliseconds from the start of the MP3.
struct Track
{
    QString title;
    QString artist;
    int number = 0; // 1-based position in the list, 0 while not in it
    int start = 0;
    int end = 0;
    bool ticked = true; // written by the next slice

    int length() const { return end - start; }
    friend bool operator==(const Track &, const Track &) = default;
};

// Tracks in time order; travels by value through queued signals.
using TrackContainer = QList<Track>;

Q_DECLARE_METATYPE(Track)
Q_DECLARE_METATYPE(TrackContainer)

// Registers Track and TrackContainer under their own names, so that string-based lookups
// of queued signatures like readyTracks(TrackContainer) resolve. Safe to call repeatedly.
void registerTrackMetaTypes();
