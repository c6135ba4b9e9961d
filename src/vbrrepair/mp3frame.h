#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/frameheader.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// One MPEG audio frame. Found frames copy themselves from the input; the engine's own
// frames (no file position) are written by subclasses.
class Mp3Frame : public Mp3Object
{
public:
    Mp3Frame(std::uint64_t filePosition, FrameHeader header);
    explicit Mp3Frame(FrameHeader header);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;
    virtual bool hasLameInfo() const;

    FrameHeader &header() { return m_header; }
    const FrameHeader &header() const { return m_header; }

    // Recognises a frame (or a Xing/VBRI frame) at the read position. Raises
    // "Frame uses free bitrate, not supported" unless free format is to be skipped.
    static std::unique_ptr<Mp3Object> check(CheckerContext &context);

private:
    FrameHeader m_header;
};
