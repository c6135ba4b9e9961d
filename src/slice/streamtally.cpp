#include "slice/streamtally.h"

#include <algorithm>

#include "vbrrepair/bigendian.h"
#include "vbrrepair/crc16.h"
#include "vbrrepair/frameheader.h"

void StreamTally::addPiece(const uchar *bytes, qsizetype size, qint64 left)
{
    musicCrc = Crc16::lame(bytes, static_cast<std::size_t>(size), musicCrc);
    qsizetype at = 0;
    while (at < size) {
        if (m_frameLeft > 0) {
            const qsizetype taken =
                static_cast<qsizetype>(std::min<qint64>(m_frameLeft, size - at));
            m_frameLeft -= taken;
            at += taken;
            continue;
        }
        if (m_headerHave == 0)
            m_runLeft = left - at;
        while (m_headerHave < 4 && m_headerHave < m_runLeft && at < size)
            m_header[m_headerHave++] = bytes[at++];
        if (m_headerHave < 4 && m_headerHave < m_runLeft)
            return; // the header goes on in the next piece
        qint64 frame = m_runLeft;
        if (frame >= 4) {
            const int length = FrameHeader(readBigEndian32(m_header)).frameSize();
            if (length > 0 && length <= frame)
                frame = length;
        }
        frameSizes.push_back(static_cast<std::uint64_t>(frame));
        m_frameLeft = frame - m_headerHave;
        m_headerHave = 0;
    }
}
