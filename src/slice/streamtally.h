#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

// What the repair engine will count in a track, gathered while the track is copied: the
// size of every frame (an MPEG-2 entry holds two) and the LAME CRC of the audio. The copy
// hands over runs of whole entries, at once or in pieces.
class StreamTally
{
public:
    std::vector<std::uint64_t> frameSizes;
    std::uint16_t musicCrc = 0;

    void add(const uchar *bytes, qsizetype size) { addPiece(bytes, size, size); }
    // The next piece of a run; `left` counts the run's bytes from the piece's first on. A
    // frame header that does not fit the rest of the run makes the rest one frame.
    void addPiece(const uchar *bytes, qsizetype size, qint64 left);

private:
    qint64 m_frameLeft = 0; // bytes of the current frame still to come
    qint64 m_runLeft = 0;   // the run's bytes from the current frame's start on
    uchar m_header[4] = {};
    int m_headerHave = 0;
};
