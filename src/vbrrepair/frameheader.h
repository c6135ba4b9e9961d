#pragma once

#include <array>
#include <cstdint>

// The header's fields as mask and shift, one table (ISO/IEC 11172-3, 13818-3).
namespace FrameHeaderFields {

struct Field
{
    std::uint32_t mask;
    int shift;
};

enum FieldId {
    Sync,
    VersionId,
    LayerId,
    Protection,
    BitrateIndex,
    SampleRateIndex,
    Padding,
    Private,
    ChannelMode,
    ModeExtension,
    IntensityStereo,
    MidSideStereo,
    Bit3,
    Bit2,
    Emphasis,
    FieldCount
};

inline constexpr std::array<Field, FieldCount> kFields = {{
    {0x7FFu << 21, 21},
    {0x00180000u, 19},
    {0x00060000u, 17},
    {0x00010000u, 16},
    {0x0000F000u, 12},
    {0x00000C00u, 10},
    {0x00000200u, 9},
    {0x00000100u, 8},
    {0x000000C0u, 6},
    {0x00000030u, 4},
    {0x00000020u, 5},
    {0x00000010u, 4},
    {0x00000008u, 3},
    {0x00000004u, 2},
    {0x00000003u, 0},
}};

constexpr std::uint32_t field(std::uint32_t value, FieldId id)
{
    return (value & kFields[id].mask) >> kFields[id].shift;
}

inline constexpr std::array<int, 4> kVersions = {3, 0, 2, 1};
inline constexpr std::array<int, 4> kLayers = {0, 3, 2, 1};

// Rows: MPEG-1, MPEG-2, MPEG-2.5; columns: sample-rate index 0..2.
inline constexpr std::array<std::array<int, 3>, 3> kSampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

// MPEG-1 Layer I, II, III; MPEG-2/2.5 Layer I; MPEG-2/2.5 Layers II and III.
inline constexpr std::array<std::array<int, 16>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
}};

} // namespace FrameHeaderFields

// The 32-bit MPEG audio frame header (ISO/IEC 11172-3, 13818-3, and MPEG-2.5), read
// big-endian. Decoding never fails: reserved fields give the markers -1 (bitrate),
// -2 (sample rate), -3 (frame size) or 0 (version, layer). Shared by the repair engine and
// the frame index, so the decoding is inline: both run it for every frame.
class FrameHeader
{
public:
    FrameHeader() = default;
    explicit FrameHeader(std::uint32_t value)
        : m_value(value)
    {
    }

    std::uint32_t value() const { return m_value; }

    // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, 0 reserved
    int version() const
    {
        return FrameHeaderFields::kVersions[FrameHeaderFields::field(m_value,
                                                                     FrameHeaderFields::VersionId)];
    }
    // 1, 2, 3, or 0 reserved
    int layer() const
    {
        return FrameHeaderFields::kLayers[FrameHeaderFields::field(m_value,
                                                                   FrameHeaderFields::LayerId)];
    }
    bool hasCrc() const
    {
        return FrameHeaderFields::field(m_value, FrameHeaderFields::Protection) == 0;
    }
    int sampleRate() const
    {
        const std::uint32_t index =
            FrameHeaderFields::field(m_value, FrameHeaderFields::SampleRateIndex);
        const int v = version();
        if (index == 3 || v == 0)
            return -2;
        return FrameHeaderFields::kSampleRates[static_cast<std::size_t>(v - 1)][index];
    }
    int bitrateKbps() const
    {
        const int v = version();
        const int l = layer();
        if (v == 0 || l == 0)
            return -1;
        const std::size_t table = v == 1 ? static_cast<std::size_t>(l - 1) : (l == 1 ? 3 : 4);
        return FrameHeaderFields::kBitrates[table][FrameHeaderFields::field(
            m_value, FrameHeaderFields::BitrateIndex)];
    }
    int bitrate() const
    {
        const int kbps = bitrateKbps();
        return kbps > 0 ? kbps * 1000 : kbps;
    }
    int channelMode() const
    {
        return static_cast<int>(FrameHeaderFields::field(m_value, FrameHeaderFields::ChannelMode));
    }
    bool isPadded() const
    {
        return FrameHeaderFields::field(m_value, FrameHeaderFields::Padding) != 0;
    }
    bool isFreeBitrate() const;
    bool isValid() const;
    // Slots of 4 bytes for Layer I, 1 byte otherwise; 72 instead of 144 for the half-size
    // frames of MPEG-2/2.5 Layer III.
    int frameSize() const
    {
        using namespace FrameHeaderFields;
        const int v = version();
        const int l = layer();
        const std::uint32_t rateIndex = field(m_value, SampleRateIndex);
        if (v == 0 || l == 0 || rateIndex == 3)
            return -3;
        const std::size_t table = v == 1 ? static_cast<std::size_t>(l - 1) : (l == 1 ? 3 : 4);
        const int kbps = kBitrates[table][field(m_value, BitrateIndex)];
        if (kbps <= 0)
            return -3;
        return frameSizeOf(v, l, kbps, kSampleRates[static_cast<std::size_t>(v - 1)][rateIndex],
                           isPadded());
    }
    // The size for values already decoded (bitrate and sample rate positive).
    static constexpr int frameSizeOf(int version, int layer, int kbps, int sampleRate, bool padded)
    {
        const int coefficient = layer == 1 ? 12 : (layer == 3 && version != 1 ? 72 : 144);
        const int slot = layer == 1 ? 4 : 1;
        return ((padded ? 1 : 0) + coefficient * kbps * 1000 / sampleRate) * slot;
    }
    bool increaseBitrate();
    void removeCrc();
    int xingOffset() const;

private:
    std::uint32_t m_value = 0;
};
