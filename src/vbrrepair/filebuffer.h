#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Read-only view of the input file with a forward look-ahead. Offsets given to byteAt and
// friends are relative to the logical read position. Reading past the end raises
// "File Read error"; a file that cannot be opened raises the std::string
// "Failed To Open File : <name>". The stream is read in large blocks internally; the
// bytes already read are kept, so repeated small reads near the position stay cheap.
class FileBuffer
{
public:
    static constexpr std::uint64_t npos = UINT64_MAX;

    explicit FileBuffer(const std::string &fileName);
    FileBuffer(const FileBuffer &) = delete;
    FileBuffer &operator=(const FileBuffer &) = delete;
    virtual ~FileBuffer();

    std::uint64_t fileSize() const { return m_fileSize; }
    std::uint64_t position() const { return m_position; }
    bool hasMore() const { return m_position < m_fileSize; }
    bool canRead(std::uint64_t n) const { return n <= m_fileSize && m_position <= m_fileSize - n; }

    unsigned char byteAt(std::uint64_t i)
    {
        const std::uint64_t at = m_position + i;
        if (at >= m_windowStart && at - m_windowStart < m_window.size())
            return m_window[static_cast<std::size_t>(at - m_windowStart)];
        return slowByteAt(at);
    }
    std::uint32_t readBigEndian32(std::uint64_t i);
    std::uint32_t readLittleEndian32(std::uint64_t i);
    bool matches(std::string_view text, std::uint64_t i);
    void readInto(std::vector<unsigned char> &bytes, std::uint64_t i);

    void seek(std::uint64_t p);
    void skip(std::uint64_t n) { m_position += n; }
    // Reads n bytes from the logical position on and moves past them.
    void read(unsigned char *buffer, std::size_t n);
    void reopen();

    // First absolute position q in [from, limit) where text starts and fits in the file,
    // or npos. Results are remembered per text, so a sequence of searches with growing
    // from/limit reads each byte once (the Lyrics3 scan relies on this).
    std::uint64_t findText(std::string_view text, std::uint64_t from, std::uint64_t limit);

private:
    struct SearchMemo
    {
        std::uint64_t start = 0; // no occurrence in [start, scannedTo) before found
        std::uint64_t scannedTo = 0;
        std::uint64_t found = npos;
    };

    void open();
    unsigned char slowByteAt(std::uint64_t at);
    // Makes [at, end) part of the window; raises "File Read error" when it can't.
    const unsigned char *ensure(std::uint64_t at, std::uint64_t end);
    std::uint64_t scan(std::string_view text, std::uint64_t from, std::uint64_t limit);

    std::string m_fileName;
    std::ifstream m_stream;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_streamPosition = 0;
    std::uint64_t m_windowStart = 0;
    std::vector<unsigned char> m_window;
    std::map<std::string, SearchMemo, std::less<>> m_memos;
};
