#include "vbrrepair/id3v2tag.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"

#include <array>

Id3v2Tag::Id3v2Tag(std::uint64_t filePosition, std::uint64_t size)
    : Mp3Object(filePosition)
    , m_size(size)
{
}

Mp3ObjectType Id3v2Tag::type() const
{
    return Mp3ObjectType::Id3v2Tag;
}

std::uint64_t Id3v2Tag::size() const
{
    return m_size;
}

std::unique_ptr<Mp3Object> Id3v2Tag::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.canRead(13) || !input.matches("ID3", 0))
        return nullptr;
    // Each header byte must lie strictly below its bound; the size bytes are syncsafe.
    static constexpr std::array<unsigned, 10> bounds = {'I' + 1, 'D' + 1, '3' + 1, 255, 255,
                                                        256,     128,     128,     128, 128};
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        if (input.byteAt(i) >= bounds[i])
            return nullptr;
    }
    const std::uint64_t body = (std::uint64_t{input.byteAt(6)} << 21)
        | (std::uint64_t{input.byteAt(7)} << 14) | (std::uint64_t{input.byteAt(8)} << 7)
        | std::uint64_t{input.byteAt(9)};
    if (body <= 10)
        return nullptr;
    const std::uint64_t total = body + 10 + ((input.byteAt(5) & 0x10u) ? 10 : 0);
    if (input.canRead(total)) {
        context.feedBack.post(FeedBackInterface::Info, "Found Id3v2 Tag");
        return std::make_unique<Id3v2Tag>(input.position(), total);
    }
    context.feedBack.post(FeedBackInterface::Warning,
                          "Found an Id3v2 Tag over the end of the file, treating as unknown data");
    return nullptr;
}
