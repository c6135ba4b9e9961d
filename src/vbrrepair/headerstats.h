#pragma once

#include "vbrrepair/frameheader.h"

#include <cstdint>
#include <map>
#include <vector>

class FeedBackInterface;
class Mp3Object;

// Counts the frame headers of one repair, finds the dominant one and reports (and may
// drop) frames whose sample rate, layer or version is rare.
class HeaderStats
{
public:
    // Counts the frames of `objects`, sends the Detail list and the inconsistency warnings;
    // with removeInconsistent, removes rare frames from `objects`.
    void examine(std::vector<Mp3Object *> &objects, FeedBackInterface &feedBack,
                 bool removeInconsistent);

    FrameHeader dominantHeader;
    std::map<std::uint32_t, int> headerCounts;
    std::map<int, int> sampleRateCounts;
    std::map<int, int> layerCounts;
    std::map<int, int> versionCounts;
    bool collecting = false;
    unsigned threshold = 0;
};
