#include "vbrrepair/lyrics3tag.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kBeginLength = 11; // "LYRICSBEGIN"
constexpr std::uint64_t kMarkerLength = 9; // "LYRICSEND", "LYRICS200"
constexpr std::uint64_t kVersion1Limit = 5100;
constexpr std::uint64_t kScanLimit = 999999 + kMarkerLength;

} // namespace

Lyrics3Tag::Lyrics3Tag(std::uint64_t filePosition, std::uint64_t size)
    : Mp3Object(filePosition)
    , m_size(size)
{
}

Mp3ObjectType Lyrics3Tag::type() const
{
    return Mp3ObjectType::Lyrics3Tag;
}

std::uint64_t Lyrics3Tag::size() const
{
    return m_size;
}

std::unique_ptr<Mp3Object> Lyrics3Tag::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    if (!input.matches("LYRICSBEGIN", 0))
        return nullptr;
    // The byte-by-byte scan stops at the first of: end of file, a 255 byte, "LYRICSEND"
    // within the version 1 limit, "LYRICS200". Each is looked up through the input's
    // remembered searches, so candidates close together do not rescan the same bytes.
    const std::uint64_t start = input.position();
    const std::uint64_t from = start + kBeginLength;
    const std::uint64_t limit = start + kScanLimit;
    const std::uint64_t endOfFile = input.fileSize() < limit ? input.fileSize() : FileBuffer::npos;
    const std::uint64_t ff = input.findText(std::string_view("\xFF", 1), from, limit);
    const std::uint64_t v1 = input.findText("LYRICSEND", from, start + kVersion1Limit);
    const std::uint64_t v2 = input.findText("LYRICS200", from, limit);
    const std::uint64_t first = std::min({endOfFile, ff, v1, v2});
    if (first == FileBuffer::npos)
        return nullptr;
    if (first == endOfFile) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "Partial LYRICSTAG detected, treating as unknown data");
        return nullptr;
    }
    if (first == ff) {
        context.feedBack.post(FeedBackInterface::Warning,
                              "Partial LYRICSTAG detected(byte value 255 found in the data), "
                              "treating as unknown data");
        return nullptr;
    }
    const std::uint64_t size = first - start + kMarkerLength;
    if (first == v1) {
        context.feedBack.post(FeedBackInterface::Info, "Found Lytics3 v1 Tag");
        return std::make_unique<Lyrics3Tag>(start, size);
    }
    context.feedBack.post(FeedBackInterface::Info, "Found Lyrics3 v2 Tag");
    return std::make_unique<Lyrics3Tag>(start, size);
}
