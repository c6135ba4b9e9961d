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

// Slicing by eight: table k gives the effect of a byte followed by k zero bytes, so eight
// bytes cost eight independent lookups instead of a chain of eight. The music CRC runs over
// every byte of a track.
constexpr std::array<std::array<std::uint16_t, 256>, 8> makeLameSlices()
{
    std::array<std::array<std::uint16_t, 256>, 8> slices{};
    slices[0] = kLameTable;
    for (std::size_t k = 1; k < slices.size(); ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const unsigned previous = slices[k - 1][i];
            slices[k][i] = static_cast<std::uint16_t>((previous >> 8) ^ kLameTable[previous & 0xFFu]);
        }
    }
    return slices;
}

constexpr std::array<std::array<std::uint16_t, 256>, 8> kLameSlices = makeLameSlices();

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
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const unsigned low = (value ^ data[i]) & 0xFFu;
        const unsigned high = ((value >> 8) ^ data[i + 1]) & 0xFFu;
        value = kLameSlices[7][low] ^ kLameSlices[6][high] ^ kLameSlices[5][data[i + 2]]
            ^ kLameSlices[4][data[i + 3]] ^ kLameSlices[3][data[i + 4]]
            ^ kLameSlices[2][data[i + 5]] ^ kLameSlices[1][data[i + 6]]
            ^ kLameSlices[0][data[i + 7]];
    }
    for (; i < length; ++i)
        value = kLameTable[(value ^ data[i]) & 0xFFu] ^ (value >> 8);
    return static_cast<std::uint16_t>(value);
}
