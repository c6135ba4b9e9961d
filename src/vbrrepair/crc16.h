#pragma once

#include <cstddef>
#include <cstdint>

// The two CRC-16 flavours an MP3 uses. Both continue from a given crc so that a stream
// can be fed in pieces.
namespace Crc16 {

// ISO/IEC 11172-3 frame CRC: polynomial 0x8005, MSB first, start 0xFFFF, no final xor.
std::uint16_t frame(const unsigned char *data, std::size_t length, std::uint16_t crc = 0xFFFF);

// LAME tag and music CRC (CRC-16/ARC): reflected polynomial 0xA001, start 0.
std::uint16_t lame(const unsigned char *data, std::size_t length, std::uint16_t crc = 0);

} // namespace Crc16
