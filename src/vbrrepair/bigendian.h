#pragma once

#include <cstddef>
#include <cstdint>

// The big-endian integers of MPEG headers and Xing/LAME fields, shared by the repair engine
// and the frame index. The caller checks that the bytes are there.
constexpr std::uint32_t readBigEndian32(const unsigned char *b)
{
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8)
        | std::uint32_t{b[3]};
}

constexpr void storeBigEndian32(unsigned char *b, std::uint32_t value)
{
    b[0] = static_cast<unsigned char>(value >> 24);
    b[1] = static_cast<unsigned char>(value >> 16);
    b[2] = static_cast<unsigned char>(value >> 8);
    b[3] = static_cast<unsigned char>(value);
}

constexpr void storeBigEndian16(unsigned char *b, std::uint32_t value)
{
    b[0] = static_cast<unsigned char>(value >> 8);
    b[1] = static_cast<unsigned char>(value);
}
