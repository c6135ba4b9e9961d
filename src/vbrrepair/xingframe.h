#pragma once

#include "vbrrepair/mp3frame.h"

#include <vector>

class FileBuffer;
class RepairSettings;

// A frame holding a Xing header, maybe with a LAME extension. Found in the input it is
// copied as it is; built by the engine (no file position) it is filled by calculate() and
// written from its fields. Errors are raised as message texts.
class XingFrame final : public Mp3Frame
{
public:
    using Mp3Frame::Mp3Frame;

    Mp3ObjectType type() const override;
    bool hasLameInfo() const override;
    void write(FileBuffer &input, std::ostream &output) const override;

    // Fills this new frame for the output list `objects`, which already holds it in place.
    void calculate(const std::vector<Mp3Object *> &objects, const XingFrame *lameSource,
                   const RepairSettings &settings, FileBuffer &input);
    bool isEquivalent(const XingFrame &other) const;

    // Recognises a Xing frame at the read position, once a complete frame is known there.
    static std::unique_ptr<Mp3Object> check(CheckerContext &context);
    // Parses a Xing/Info frame handed over as bytes; nullptr when malformed.
    static std::unique_ptr<XingFrame> fromBytes(const std::vector<unsigned char> &bytes);

    std::vector<unsigned char> toc;
    std::uint32_t flags = 0;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    std::uint32_t quality = 0;
    std::vector<unsigned char> lameData;
    bool recalculateLameCrc = false;
    bool recalculateMusicCrc = false;
    std::uint32_t musicCrc = 0;
    // The LAME data was made true for the new stream; its tag CRC is written last.
    bool repairLameTag = false;
};
