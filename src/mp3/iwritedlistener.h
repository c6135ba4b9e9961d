#pragma once

// Receives the progress of copying a run of frames into a track file, in percent.
class IWritedListener
{
public:
    virtual ~IWritedListener() = default;
    virtual void writed(float percent) = 0;
};
