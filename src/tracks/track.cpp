#include "tracks/track.h"

qint64 Track::sampleAt(int milliseconds, int cdFrame, int sampleRate)
{
    if (cdFrame >= 0 && millisecondsOfCdFrame(cdFrame) == milliseconds)
        return (qint64{cdFrame} * sampleRate + 37) / 75;
    return (qint64{milliseconds} * sampleRate + 500) / 1000;
}

void registerTrackMetaTypes()
{
    qRegisterMetaType<Track>("Track");
    qRegisterMetaType<TrackContainer>("TrackContainer");
}

namespace {
// Done at load as well, for code that never touches the track list before a queued emit.
const bool trackMetaTypesRegistered = (registerTrackMetaTypes(), true);
} // namespace
