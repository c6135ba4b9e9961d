#pragma once

#include <cstdint>

// The 32-bit MPEG audio frame header (ISO/IEC 11172-3, 13818-3, and MPEG-2.5), read
// big-endian. Decoding never fails: reserved fields give the markers -1 (bitrate),
// -2 (sample rate), -3 (frame size) or 0 (version, layer).
class FrameHeader
{
public:
    FrameHeader() = default;
    explicit FrameHeader(std::uint32_t value)
        : m_value(value)
    {
    }

    std::uint32_t value() const { return m_value; }

    int version() const;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, 0 reserved
    int layer() const;    // 1, 2, 3, or 0 reserved
    bool hasCrc() const;
    int sampleRate() const;
    int bitrateKbps() const;
    int bitrate() const;
    int channelMode() const;
    bool isPadded() const;
    bool isFreeBitrate() const;
    bool isValid() const;
    int frameSize() const;
    bool increaseBitrate();
    void removeCrc();
    int xingOffset() const;

private:
    std::uint32_t m_value = 0;
};
