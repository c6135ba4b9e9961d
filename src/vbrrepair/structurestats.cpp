#include "vbrrepair/structurestats.h"

#include "vbrrepair/mp3frame.h"

#include <algorithm>

void StructureStats::add(const Mp3Object &object)
{
    typesSeen.insert(object.type());
    if (isFrameType(object.type())) {
        ++frames;
        const int b = static_cast<const Mp3Frame &>(object).header().bitrateKbps();
        bitrateSum += b;
        if (frames > 1 && b != lastBitrate)
            sameBitrate = false;
        lastBitrate = b;
    } else if (!isTagType(object.type())) {
        unknownBytes += object.size();
    }
}

int StructureStats::percentUnderstood() const
{
    if (fileSize <= 0)
        return 0;
    const double size = static_cast<double>(fileSize);
    const double understood = (size - static_cast<double>(unknownBytes)) * 100.0 / size + 0.5;
    return std::clamp(static_cast<int>(std::max(understood, -1.0)), 0, 100);
}
