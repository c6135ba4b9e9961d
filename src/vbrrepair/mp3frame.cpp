#include "vbrrepair/mp3frame.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"
#include "vbrrepair/readsettings.h"
#include "vbrrepair/vbriframe.h"
#include "vbrrepair/xingframe.h"

Mp3Frame::Mp3Frame(std::uint64_t filePosition, FrameHeader header)
    : Mp3Object(filePosition)
    , m_header(header)
{
}

Mp3Frame::Mp3Frame(FrameHeader header)
    : m_header(header)
{
}

Mp3ObjectType Mp3Frame::type() const
{
    return Mp3ObjectType::Mp3Frame;
}

std::uint64_t Mp3Frame::size() const
{
    const int bytes = m_header.frameSize();
    return bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
}

bool Mp3Frame::hasLameInfo() const
{
    return false;
}

std::unique_ptr<Mp3Object> Mp3Frame::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.canRead(4))
        return nullptr;
    // Cheap sync test first: this runs at every unrecognised byte.
    if (input.byteAt(0) != 0xFF || (input.byteAt(1) & 0xE0) != 0xE0)
        return nullptr;
    const FrameHeader header(input.readBigEndian32(0));
    if (!header.isValid())
        return nullptr;
    if (header.isFreeBitrate()) {
        if (context.settings.skipFreeBitrateFrames)
            return nullptr;
        throw "Frame uses free bitrate, not supported";
    }
    const int size = header.frameSize();
    if (size < 0 || !input.canRead(static_cast<std::uint64_t>(size))) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "A Frame Runs off the end of the file, treating as unknown data");
        return nullptr;
    }
    if (auto xing = XingFrame::check(context))
        return xing;
    if (auto vbri = VbriFrame::check(context))
        return vbri;
    return std::make_unique<Mp3Frame>(input.position(), header);
}
