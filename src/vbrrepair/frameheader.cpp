#include "vbrrepair/frameheader.h"

#include <array>

namespace {

struct Field
{
    std::uint32_t mask;
    int shift;
};

enum FieldId {
    Sync, VersionId, LayerId, Protection, BitrateIndex, SampleRateIndex, Padding, Private,
    ChannelMode, ModeExtension, IntensityStereo, MidSideStereo, Bit3, Bit2, Emphasis,
    FieldCount
};

constexpr std::array<Field, FieldCount> kFields = {{
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

constexpr std::array<int, 4> kVersions = {3, 0, 2, 1};
constexpr std::array<int, 4> kLayers = {0, 3, 2, 1};

// Rows: MPEG-1 version 1..3 slots; columns: sample-rate index 0..2.
constexpr std::array<std::array<int, 3>, 3> kSampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

constexpr std::array<std::array<int, 16>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
}};

} // namespace

int FrameHeader::version() const
{
    return kVersions[field(m_value, VersionId)];
}

int FrameHeader::layer() const
{
    return kLayers[field(m_value, LayerId)];
}

bool FrameHeader::hasCrc() const
{
    return field(m_value, Protection) == 0;
}

int FrameHeader::sampleRate() const
{
    const std::uint32_t index = field(m_value, SampleRateIndex);
    const int v = version();
    if (index == 3 || v == 0)
        return -2;
    return kSampleRates[static_cast<std::size_t>(v - 1)][index];
}

int FrameHeader::bitrateKbps() const
{
    const int v = version();
    const int l = layer();
    if (v == 0 || l == 0)
        return -1;
    const std::size_t table = v == 1 ? static_cast<std::size_t>(l - 1) : (l == 1 ? 3 : 4);
    return kBitrates[table][field(m_value, BitrateIndex)];
}

int FrameHeader::bitrate() const
{
    const int kbps = bitrateKbps();
    return kbps > 0 ? kbps * 1000 : kbps;
}

int FrameHeader::channelMode() const
{
    return static_cast<int>(field(m_value, ChannelMode));
}

bool FrameHeader::isPadded() const
{
    return field(m_value, Padding) != 0;
}

bool FrameHeader::isFreeBitrate() const
{
    return bitrate() == 0;
}

bool FrameHeader::isValid() const
{
    return layer() != 0 && version() != 0 && field(m_value, Sync) == 0x7FFu
        && sampleRate() != -2 && field(m_value, Emphasis) != 2 && bitrate() != -1;
}

int FrameHeader::frameSize() const
{
    const int b = bitrate();
    const int r = sampleRate();
    if (b == -1 || r == -2 || b == 0)
        return -3;
    int coefficient = 0;
    switch (layer()) {
    case 1: coefficient = 12; break;
    case 2: coefficient = 144; break;
    case 3:
        if (version() == 1)
            coefficient = 144;
        else if (version() == 2 || version() == 3)
            coefficient = 72;
        break;
    default: break;
    }
    if (coefficient == 0)
        throw "Error calculating frame size";
    int slot = 0;
    switch (layer()) {
    case 1: slot = 4; break;
    case 2:
    case 3: slot = 1; break;
    default: throw "Error Calculating Frame size";
    }
    const int padding = isPadded() ? 1 : 0;
    return (padding + coefficient * b / r) * slot;
}

bool FrameHeader::increaseBitrate()
{
    const int current = bitrate();
    if (current == 0 || current == -1)
        return false;
    const std::uint32_t old = m_value;
    const std::uint32_t index = field(m_value, BitrateIndex);
    if (index >= 15)
        return false;
    m_value = (m_value & ~kFields[BitrateIndex].mask) | ((index + 1) << kFields[BitrateIndex].shift);
    const int raised = bitrate();
    if (raised != 0 && raised != -1)
        return true;
    m_value = old;
    return false;
}

void FrameHeader::removeCrc()
{
    m_value |= kFields[Protection].mask;
}

int FrameHeader::xingOffset() const
{
    if (!isValid())
        return -1;
    const bool mono = channelMode() == 3;
    if (version() == 1)
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}
