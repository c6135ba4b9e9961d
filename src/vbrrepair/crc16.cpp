#include "vbrrepair/crc16.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
            slices[k][i] =
                static_cast<std::uint16_t>((previous >> 8) ^ kLameTable[previous & 0xFFu]);
        }
    }
    return slices;
}

constexpr std::array<std::array<std::uint16_t, 256>, 8> kLameSlices = makeLameSlices();

// Eight bytes of one slice-by-eight step.
inline unsigned lameStep(unsigned value, const unsigned char *d)
{
    const unsigned low = (value ^ d[0]) & 0xFFu;
    const unsigned high = ((value >> 8) ^ d[1]) & 0xFFu;
    return kLameSlices[7][low] ^ kLameSlices[6][high] ^ kLameSlices[5][d[2]] ^ kLameSlices[4][d[3]]
        ^ kLameSlices[3][d[4]] ^ kLameSlices[2][d[5]] ^ kLameSlices[1][d[6]] ^ kLameSlices[0][d[7]];
}

// The operator of a 16x16 matrix over GF(2), columns as words (as zlib combines CRCs).
using Matrix = std::array<unsigned, 16>;

unsigned times(const Matrix &matrix, unsigned vector)
{
    unsigned sum = 0;
    for (int i = 0; vector; vector >>= 1, ++i) {
        if (vector & 1u)
            sum ^= matrix[static_cast<std::size_t>(i)];
    }
    return sum;
}

Matrix squared(const Matrix &matrix)
{
    Matrix result{};
    for (std::size_t i = 0; i < 16; ++i)
        result[i] = times(matrix, matrix[i]);
    return result;
}

// The CRC state crc followed by `bytes` zero bytes: what a CRC computed on its own needs to
// be joined to the data after it.
unsigned shiftedByZeros(unsigned crc, std::size_t bytes)
{
    Matrix odd{}; // one zero bit
    odd[0] = 0xA001u;
    for (std::size_t i = 1; i < 16; ++i)
        odd[i] = 1u << (i - 1);
    Matrix even = squared(odd); // two
    odd = squared(even);        // four
    while (bytes != 0) {
        even = squared(odd);
        if (bytes & 1u)
            crc = times(even, crc);
        bytes >>= 1;
        if (bytes == 0)
            break;
        odd = squared(even);
        if (bytes & 1u)
            crc = times(odd, crc);
        bytes >>= 1;
    }
    return crc;
}

#if defined(__x86_64__)

// x^n mod P for the LAME polynomial x^16 + x^15 + x^2 + 1, as the high bits of a reflected
// 64-bit word (x^d at bit 63 - d), less one power of x: a carry-less product of two
// reflected words comes out one bit short of its reflected place.
constexpr std::uint64_t foldConstant(int n)
{
    unsigned r = 1;
    for (int i = 0; i < n - 1; ++i) {
        r <<= 1;
        if (r & 0x10000u)
            r ^= 0x18005u;
    }
    std::uint64_t reflected = 0;
    for (int d = 0; d < 16; ++d) {
        if (r & (1u << d))
            reflected |= std::uint64_t{1} << (63 - d);
    }
    return reflected;
}

// A block of 16 bytes, read little-endian, is a polynomial whose first bit is its highest
// term. Moving it 128 or 512 bits on multiplies it by x^128 or x^512: its halves times
// x^(n + 64) and x^n, reduced to 16 bits, fit the block again. The blocks fold into one
// whose CRC is that of the whole run.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i block, __m128i constants)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00),
                         _mm_clmulepi64_si128(block, constants, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) unsigned lameClmul(unsigned crc, const unsigned char *data,
                                                            std::size_t length)
{
    const auto load = [data](std::size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at));
    };
    const __m128i by128 = _mm_set_epi64x(static_cast<long long>(foldConstant(128)),
                                         static_cast<long long>(foldConstant(192)));
    const __m128i by512 = _mm_set_epi64x(static_cast<long long>(foldConstant(512)),
                                         static_cast<long long>(foldConstant(576)));
    // Four blocks in flight, each folded 512 bits on at a time; the CRC so far goes into
    // the first two bytes.
    __m128i part[4] = {_mm_xor_si128(load(0), _mm_cvtsi32_si128(static_cast<int>(crc))), load(16),
                       load(32), load(48)};
    std::size_t at = 64;
    for (; at + 64 <= length; at += 64) {
        for (std::size_t k = 0; k < 4; ++k)
            part[k] = _mm_xor_si128(fold(part[k], by512), load(at + 16 * k));
    }
    __m128i folded = part[0];
    for (std::size_t k = 1; k < 4; ++k)
        folded = _mm_xor_si128(fold(folded, by128), part[k]);
    for (; at + 16 <= length; at += 16)
        folded = _mm_xor_si128(fold(folded, by128), load(at));
    alignas(16) unsigned char last[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(last), folded);
    unsigned value = 0;
    for (const unsigned char byte : last)
        value = kLameTable[(value ^ byte) & 0xFFu] ^ (value >> 8);
    for (; at < length; ++at)
        value = kLameTable[(value ^ data[at]) & 0xFFu] ^ (value >> 8);
    return value;
}

bool haveClmul()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

#endif

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
#if defined(__x86_64__)
    // Carry-less multiplication folds 64 bytes in a few instructions.
    if (length >= 64 && haveClmul())
        return static_cast<std::uint16_t>(lameClmul(crc, data, length));
#endif
    unsigned value = crc;
    std::size_t i = 0;
    // Each step waits for the one before it; four independent parts of a long run keep the
    // processor busy, and their CRCs are joined at the end.
    constexpr std::size_t kLanes = 4;
    if (length >= 4096) {
        const std::size_t lane = (length / kLanes) & ~std::size_t{7};
        unsigned part[kLanes] = {value, 0, 0, 0};
        for (std::size_t at = 0; at < lane; at += 8) {
            part[0] = lameStep(part[0], data + at);
            part[1] = lameStep(part[1], data + lane + at);
            part[2] = lameStep(part[2], data + 2 * lane + at);
            part[3] = lameStep(part[3], data + 3 * lane + at);
        }
        // The last part runs on to the end; the others are moved past the bytes after them.
        value = part[3];
        i = kLanes * lane;
        for (; i + 8 <= length; i += 8)
            value = lameStep(value, data + i);
        for (; i < length; ++i)
            value = kLameTable[(value ^ data[i]) & 0xFFu] ^ (value >> 8);
        for (std::size_t k = 0; k + 1 < kLanes; ++k)
            value ^= shiftedByZeros(part[k], length - (k + 1) * lane);
        return static_cast<std::uint16_t>(value);
    }
    for (; i + 8 <= length; i += 8)
        value = lameStep(value, data + i);
    for (; i < length; ++i)
        value = kLameTable[(value ^ data[i]) & 0xFFu] ^ (value >> 8);
    return static_cast<std::uint16_t>(value);
}
