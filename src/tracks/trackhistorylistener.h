#pragma once

#include "tracks/track.h"

// Told by the track list before each change, with the list as it was, so that the change can
// be undone. Main thread only.
class TrackHistoryListener
{
public:
    enum class Change {
        Replace, // a new list: a sheet, a disc, a proposal, cuts
        Add,
        Remove,
        Move, // a boundary dragged or set; a drag moves the same boundary many times
        Edit,
        Tick,
    };

    virtual ~TrackHistoryListener() = default;

    virtual void tracksAboutToChange(const TrackContainer &before, Change change, int index) = 0;
};
