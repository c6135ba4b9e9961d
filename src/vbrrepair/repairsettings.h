#pragma once

#include "vbrrepair/mp3object.h"
#include "vbrrepair/readsettings.h"

#include <set>
#include <vector>

// Steers one repair; a default-constructed object holds the defaults the slicer uses.
class RepairSettings : public ReadSettings
{
public:
    std::set<Mp3ObjectType> typesToRemove{Mp3ObjectType::XingFrame, Mp3ObjectType::VbriFrame};
    bool alwaysSkip = false;
    int minPercentUnderstood = 99;
    // 0 drop the LAME data, 1 copy it, 2 also new tag CRC, 3 also new music CRC.
    int lameInfoMode = 1;
    bool skipNonVbr = true;
    bool skipIfXingUnchanged = true;
    // 0 never a CRC on the new Xing frame, 1 keep it for Layer III, 2 always keep it.
    int xingCrcMode = 0;
    bool removeInconsistentFrames = false;

    // Make carried LAME data describe the new stream: music length, music CRC, tag CRC,
    // and encoder delay/padding only where they still apply (the first/last track).
    bool repairLameTag = true;
    bool keepEncoderDelay = true;
    bool keepEncoderPadding = true;
    // A Xing/Info frame with LAME extension from the source album, used as the LAME
    // source when the file itself has none.
    std::vector<unsigned char> fallbackLameFrame;
};
