#pragma once

// Told by the track list about every change; rows are inclusive, first <= last.
class TracksUpdateListener
{
public:
    virtual ~TracksUpdateListener() = default;

    virtual void tracksRemoved(int first, int last) = 0;
    virtual void tracksInserted(int first, int last) = 0;
    virtual void tracksChanged(int first, int last) = 0;
};
