#pragma once

#include "vbrrepair/mp3object.h"

#include <cstdint>
#include <set>

// What the structure reader learnt about a file: how much of it is understood and
// whether its frames vary in bitrate.
class StructureStats
{
public:
    void add(const Mp3Object &object);
    int percentUnderstood() const;
    bool isVbr() const { return !sameBitrate; }
    int frameCount() const { return frames; }

    int progress = 0;
    std::set<Mp3ObjectType> typesSeen;
    int frames = 0;
    std::uint64_t unknownBytes = 0;
    bool sameBitrate = true;
    std::int64_t bitrateSum = 0;
    int lastBitrate = 0;
    std::int64_t fileSize = 0;
};
