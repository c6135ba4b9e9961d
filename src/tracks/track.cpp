#include "tracks/track.h"

void registerTrackMetaTypes()
{
    qRegisterMetaType<Track>("Track");
    qRegisterMetaType<TrackContainer>("TrackContainer");
}

namespace {
// Done at load as well, for code that never touches the track list before a queued emit.
const bool trackMetaTypesRegistered = (registerTrackMetaTypes(), true);
} // namespace
