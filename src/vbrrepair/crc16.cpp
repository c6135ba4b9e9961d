#include "vbrrepair/crc16.h"

#include <array>

namespace {

constexpr std::array<std::uint16_t, 256> makeLameTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1u) ? (value >> 1) ^ 0xA001u : value >> 1;
        table[i] = static_cast<std::uint16_t>(value);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kLameTable = makeLameTable();

} // namespace

std::uint16_t Crc16::frame(const unsigned char *data, std::size_t length, std::uint16_t crc)
{
    unsigned value = crc;
    for (std::size_t i = 0; i < length; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (value & 0x8000u) != 0;
            const bool in = ((data[i] >> bit) & 1u) != 0;
            value = (value << 1) & 0xFFFFu;
            if (top != in)
                value ^= 0x8005u;
        }
    }
    return static_cast<std::uint16_t>(value);
}

std::uint16_t Crc16::lame(const unsigned char *data, std::size_t length, std::uint16_t crc)
{
    unsigned value = crc;
    for (std::size_t i = 0; i < length; ++i)
        value = kLameTable[(value ^ data[i]) & 0xFFu] ^ (value >> 8);
    return static_cast<std::uint16_t>(value);
}
