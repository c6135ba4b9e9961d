#include "mp3/blockreader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

BlockReader::BlockReader(QIODevice *device, qint64 blockSize)
    : m_device(device)
    , m_buffer(static_cast<size_t>(std::max<qint64>(blockSize, 64)))
{
}

QByteArrayView BlockReader::peek(qint64 offset, qint64 count)
{
    if (offset < 0 || count <= 0 || !m_device)
        return {};
    count = std::min(count, blockSize());
    const qint64 end = m_start + m_length;
    const bool inBlock = offset >= m_start && offset <= end;
    if (!(inBlock && (offset + count <= end || m_atEnd)))
        refill(offset);
    const qint64 available = std::max<qint64>(0, m_start + m_length - offset);
    return QByteArrayView(m_buffer.data() + (offset - m_start), std::min(count, available));
}

void BlockReader::refill(qint64 offset)
{
    // Bytes of the old block from offset on are kept: the device is never read twice.
    qint64 kept = 0;
    if (offset >= m_start && offset < m_start + m_length) {
        kept = m_start + m_length - offset;
        std::memmove(m_buffer.data(), m_buffer.data() + (offset - m_start),
                     static_cast<size_t>(kept));
    }
    m_start = offset;
    m_length = kept;
    m_atEnd = false;
    const qint64 readFrom = m_start + m_length;
    if (m_devicePos != readFrom) {
        if (!m_device->seek(readFrom)) {
            m_devicePos = -1;
            m_atEnd = true;
            return;
        }
        m_devicePos = readFrom;
    }
    while (m_length < blockSize()) {
        const qint64 got = m_device->read(m_buffer.data() + m_length, blockSize() - m_length);
        if (got <= 0) {
            m_failed = m_failed || got < 0;
            m_atEnd = true;
            break;
        }
        m_length += got;
        m_devicePos += got;
    }
}
