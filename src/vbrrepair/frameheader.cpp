#include "vbrrepair/frameheader.h"

using namespace FrameHeaderFields;

bool FrameHeader::isFreeBitrate() const
{
    return bitrate() == 0;
}

bool FrameHeader::isValid() const
{
    return layer() != 0 && version() != 0 && field(m_value, Sync) == 0x7FFu && sampleRate() != -2
        && field(m_value, Emphasis) != 2 && bitrate() != -1;
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
    m_value =
        (m_value & ~kFields[BitrateIndex].mask) | ((index + 1) << kFields[BitrateIndex].shift);
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
