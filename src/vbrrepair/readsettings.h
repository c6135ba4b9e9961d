#pragma once

// Options the structure reader consults while recognising objects.
class ReadSettings
{
public:
    virtual ~ReadSettings() = default;

    // A free-format frame becomes unknown data instead of failing the repair.
    bool skipFreeBitrateFrames = false;
};
