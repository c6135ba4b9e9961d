#include "vbrrepair/id3v1tag.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"

Id3v1Tag::Id3v1Tag(std::uint64_t filePosition, std::uint64_t size)
    : Mp3Object(filePosition)
    , m_size(size)
{
}

Mp3ObjectType Id3v1Tag::type() const
{
    return Mp3ObjectType::Id3v1Tag;
}

std::uint64_t Id3v1Tag::size() const
{
    return m_size;
}

std::unique_ptr<Mp3Object> Id3v1Tag::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.canRead(3) || !input.matches("TAG", 0))
        return nullptr;
    if (input.canRead(128)) {
        context.feedBack.post(FeedBackInterface::Info, "Found Id3v1 Tag");
        return std::make_unique<Id3v1Tag>(input.position(), 128);
    }
    context.feedBack.post(FeedBackInterface::Warning,
                          "Found an Id3v1 Tag over the end of the file, treating as unknown data");
    return nullptr;
}
