#include "vbrrepair/mp3object.h"

#include "vbrrepair/filebuffer.h"

#include <algorithm>
#include <vector>

Mp3Object::Mp3Object(std::uint64_t filePosition)
    : m_hasFilePosition(true)
    , m_filePosition(filePosition)
{
}

Mp3Object::~Mp3Object() = default;

bool Mp3Object::hasFilePosition() const
{
    return m_hasFilePosition;
}

std::uint64_t Mp3Object::filePosition() const
{
    return m_filePosition;
}

std::uint64_t Mp3Object::endPosition() const
{
    return filePosition() + size();
}

void Mp3Object::write(FileBuffer &input, std::ostream &output) const
{
    if (!hasFilePosition())
        return;
    input.seek(filePosition());
    // Copied in pieces so that a large tag or unknown run needs no buffer of its size.
    constexpr std::uint64_t chunk = 1u << 20;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min(size(), chunk)));
    for (std::uint64_t left = size(); left > 0;) {
        const auto n = static_cast<std::size_t>(std::min(left, chunk));
        input.read(buffer.data(), n);
        output.write(reinterpret_cast<const char *>(buffer.data()),
                     static_cast<std::streamsize>(n));
        left -= n;
    }
}
