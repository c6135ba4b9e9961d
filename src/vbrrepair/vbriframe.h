#pragma once

#include "vbrrepair/mp3frame.h"

// A frame carrying a Fraunhofer VBRI header; located only, never parsed.
class VbriFrame final : public Mp3Frame
{
public:
    using Mp3Frame::Mp3Frame;

    Mp3ObjectType type() const override;

    // "VBRI" sits at offset 36 whatever the version and channel mode.
    static std::unique_ptr<Mp3Object> check(CheckerContext &context);
};
