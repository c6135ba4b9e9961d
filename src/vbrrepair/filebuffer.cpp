#include "vbrrepair/filebuffer.h"

#include "vbrrepair/bigendian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t kBlock = 64 * 1024;
// A jump away from the held bytes (a look back at a run's first bytes) reads only a little.
constexpr std::uint64_t kJumpBlock = 4 * 1024;
// Bytes kept behind the read position so that looking back at a just-passed run is cheap.
constexpr std::uint64_t kKeepBehind = 64 * 1024;

} // namespace

FileBuffer::FileBuffer(const std::string &fileName)
    : m_fileName(fileName)
{
    open();
}

FileBuffer::~FileBuffer() = default;

void FileBuffer::open()
{
    m_stream.open(m_fileName, std::ios::in | std::ios::binary);
    if (!m_stream.is_open())
        throw std::string("Failed To Open File : ") + m_fileName;
    m_stream.seekg(0, std::ios::end);
    const std::streamoff end = m_stream.tellg();
    m_stream.seekg(0, std::ios::beg);
    if (end < 0 || !m_stream)
        throw std::string("Failed To Open File : ") + m_fileName;
    m_fileSize = static_cast<std::uint64_t>(end);
    m_position = 0;
    m_streamPosition = 0;
    m_windowStart = 0;
    m_window.clear();
    m_memos.clear();
}

void FileBuffer::reopen()
{
    m_stream.close();
    m_stream.clear();
    open();
}

unsigned char FileBuffer::slowByteAt(std::uint64_t at)
{
    return *ensure(at, at + 1);
}

const unsigned char *FileBuffer::ensure(std::uint64_t at, std::uint64_t end)
{
    if (end > m_fileSize || at > end)
        throw "File Read error";
    std::uint64_t windowEnd = m_windowStart + m_window.size();
    std::uint64_t block = kBlock;
    if (at < m_windowStart || at > windowEnd + kBlock) {
        block = kJumpBlock;
        // Far from what is held: start afresh rather than read the gap.
        m_window.clear();
        m_windowStart = at;
        windowEnd = at;
    } else if (end > windowEnd) {
        const std::uint64_t keepFrom =
            std::min(at, m_position > kKeepBehind ? m_position - kKeepBehind : 0);
        if (keepFrom > m_windowStart && keepFrom - m_windowStart > m_window.size() / 2) {
            m_window.erase(m_window.begin(),
                           m_window.begin()
                               + static_cast<std::ptrdiff_t>(keepFrom - m_windowStart));
            m_windowStart = keepFrom;
        }
    }
    if (end > windowEnd) {
        const std::uint64_t readEnd = std::min(m_fileSize, std::max(end, windowEnd + block));
        const auto count = static_cast<std::size_t>(readEnd - windowEnd);
        if (m_streamPosition != windowEnd) {
            m_stream.clear();
            m_stream.seekg(static_cast<std::streamoff>(windowEnd), std::ios::beg);
        }
        const std::size_t old = m_window.size();
        m_window.resize(old + count);
        m_stream.read(reinterpret_cast<char *>(m_window.data() + old),
                      static_cast<std::streamsize>(count));
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(m_stream.gcount(), 0));
        m_window.resize(old + got);
        m_streamPosition = windowEnd + got;
        if (got != count) {
            // The file shrank under us; what was read stays valid.
            m_stream.clear();
            if (windowEnd + got < end)
                throw "File Read error";
        }
    }
    return m_window.data() + (at - m_windowStart);
}

std::uint32_t FileBuffer::readBigEndian32(std::uint64_t i)
{
    return ::readBigEndian32(ensure(m_position + i, m_position + i + 4));
}

std::uint32_t FileBuffer::readLittleEndian32(std::uint64_t i)
{
    return (std::uint32_t{byteAt(i + 3)} << 24) | (std::uint32_t{byteAt(i + 2)} << 16)
        | (std::uint32_t{byteAt(i + 1)} << 8) | std::uint32_t{byteAt(i)};
}

bool FileBuffer::matches(std::string_view text, std::uint64_t i)
{
    if (i > m_fileSize || !canRead(i + text.size()))
        return false;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (byteAt(i + k) != static_cast<unsigned char>(text[k]))
            return false;
    }
    return true;
}

void FileBuffer::readInto(std::vector<unsigned char> &bytes, std::uint64_t i)
{
    if (bytes.empty())
        return;
    const unsigned char *data = ensure(m_position + i, m_position + i + bytes.size());
    std::memcpy(bytes.data(), data, bytes.size());
}

void FileBuffer::seek(std::uint64_t p)
{
    // Bytes already held stay valid for the new position; only the position moves.
    m_position = p;
}

void FileBuffer::read(unsigned char *buffer, std::size_t n)
{
    if (n == 0)
        return;
    const std::uint64_t windowEnd = m_windowStart + m_window.size();
    if (n >= kBlock && (m_position < m_windowStart || m_position + n > windowEnd)) {
        // Large copies go straight from the stream.
        if (m_position > m_fileSize || n > m_fileSize - m_position)
            throw "File Read error";
        m_stream.clear();
        m_stream.seekg(static_cast<std::streamoff>(m_position), std::ios::beg);
        m_stream.read(reinterpret_cast<char *>(buffer), static_cast<std::streamsize>(n));
        if (m_stream.gcount() != static_cast<std::streamsize>(n)) {
            m_stream.clear();
            m_streamPosition = npos;
            throw "File Read error";
        }
        m_window.clear();
        m_windowStart = m_position + n;
        m_streamPosition = m_windowStart;
    } else {
        std::memcpy(buffer, ensure(m_position, m_position + n), n);
    }
    m_position += n;
}

std::uint64_t FileBuffer::scan(std::string_view text, std::uint64_t from, std::uint64_t limit)
{
    // Chunked so that the window never has to hold more than a block beyond the limit.
    const auto first = static_cast<unsigned char>(text.front());
    for (std::uint64_t q = from; q < limit;) {
        const std::uint64_t chunkEnd = std::min(limit, q + 4 * kBlock);
        const unsigned char *data = ensure(q, chunkEnd + text.size() - 1);
        const auto length = static_cast<std::size_t>(chunkEnd - q);
        for (std::size_t k = 0; k < length;) {
            const void *hit = std::memchr(data + k, first, length - k);
            if (!hit)
                break;
            k = static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - data);
            if (std::memcmp(data + k, text.data(), text.size()) == 0)
                return q + k;
            ++k;
        }
        q = chunkEnd;
    }
    return npos;
}

std::uint64_t FileBuffer::findText(std::string_view text, std::uint64_t from, std::uint64_t limit)
{
    if (text.empty() || text.size() > m_fileSize)
        return npos;
    limit = std::min(limit, m_fileSize - text.size() + 1);
    if (from >= limit)
        return npos;
    auto it = m_memos.find(text);
    if (it == m_memos.end())
        it = m_memos.emplace(std::string(text), SearchMemo{from, from, npos}).first;
    SearchMemo &memo = it->second;
    std::uint64_t scanFrom = from;
    if (memo.start <= from) {
        if (memo.found != npos && memo.found >= from)
            return memo.found < limit ? memo.found : npos;
        if (memo.found == npos) {
            if (memo.scannedTo >= limit)
                return npos;
            if (memo.scannedTo < from)
                memo.start = from;
            scanFrom = std::max(from, memo.scannedTo);
        } else {
            memo.start = from;
        }
    } else {
        memo.start = from;
    }
    const std::uint64_t found = scan(text, scanFrom, limit);
    memo.found = found;
    memo.scannedTo = found == npos ? limit : found + 1;
    return found;
}
