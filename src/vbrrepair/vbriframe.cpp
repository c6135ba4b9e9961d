#include "vbrrepair/vbriframe.h"

#include "vbrrepair/filebuffer.h"

Mp3ObjectType VbriFrame::type() const
{
    return Mp3ObjectType::VbriFrame;
}

std::unique_ptr<Mp3Object> VbriFrame::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.matches("VBRI", 36))
        return nullptr;
    return std::make_unique<VbriFrame>(input.position(), FrameHeader(input.readBigEndian32(0)));
}
