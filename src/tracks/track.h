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
    // The same times in CD frames (1/75 s) where the track source counts in them (a CUE
    // sheet, a freedb disc), -1 otherwise: a millisecond misses a CD frame by up to 2/3 ms,
    // 29 samples at 44.1 kHz. Ignored once the time in milliseconds is no longer theirs.
    int startCdFrame = -1;
    int endCdFrame = -1;
    int disc = 0; // its disc in a release of several, 0 when the source says none

    int length() const { return end - start; }
    // The first and one-past-last sample at the given rate, exact where the times came in
    // CD frames.
    qint64 startSample(int sampleRate) const { return sampleAt(start, startCdFrame, sampleRate); }
    qint64 endSample(int sampleRate) const { return sampleAt(end, endCdFrame, sampleRate); }
    // The millisecond a CD frame is shown and edited as.
    static int millisecondsOfCdFrame(int cdFrame) { return int(qint64{cdFrame} * 1000 / 75); }
    static qint64 sampleAt(int milliseconds, int cdFrame, int sampleRate);
    friend bool operator==(const Track &, const Track &) = default;
};

// Tracks in time order; travels by value through queued signals.
using TrackContainer = QList<Track>;

Q_DECLARE_METATYPE(Track)
Q_DECLARE_METATYPE(TrackContainer)

// Registers Track and TrackContainer under their own names, so that string-based lookups
// of queued signatures like readyTracks(TrackContainer) resolve. Safe to call repeatedly.
void registerTrackMetaTypes();
