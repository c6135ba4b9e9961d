#pragma once

// Receives the progress of a frame-index scan, in percent.
class IReadedListener
{
public:
    virtual ~IReadedListener() = default;
    virtual void readed(float percent) = 0;
};
