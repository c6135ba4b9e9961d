#include "vbrrepair/apetag.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"

ApeTag::ApeTag(std::uint64_t filePosition, std::uint64_t size)
    : Mp3Object(filePosition)
    , m_size(size)
{
}

Mp3ObjectType ApeTag::type() const
{
    return Mp3ObjectType::ApeTag;
}

std::uint64_t ApeTag::size() const
{
    return m_size;
}

std::unique_ptr<Mp3Object> ApeTag::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.canRead(16) || !input.matches("APETAGEX", 0))
        return nullptr;
    const std::uint32_t version = input.readLittleEndian32(8);
    if (version != 1000 && version != 2000) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "APE tag with unknown version found, treating as unknown data");
        return nullptr;
    }
    const std::uint64_t tagSize = input.readLittleEndian32(12);
    if (!input.canRead(24)) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "APE tag goes off end of the file, treating as unknown data");
        return nullptr;
    }
    const std::uint32_t flags = input.readLittleEndian32(20);
    if ((flags & 0x20000000u) == 0) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "The repair engine doesn't currently support headerless ApeTags, "
                              "treating as unknown data");
        return nullptr;
    }
    if (!input.canRead(tagSize + 32)) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "APE tag goes off end of the file, treating as unknown data");
        return nullptr;
    }
    context.feedBack.post(FeedBackInterface::Info, "Found Ape Tag");
    return std::make_unique<ApeTag>(input.position(), tagSize + 32);
}
