#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

class QIODevice;

// Hands out byte ranges of a random-access device from one large block, so a scan that
// looks at a few bytes per frame costs one system call per block, not one per frame.
// A view is valid until the next peek(). Reads past the end give a shorter view; a read
// error does too and sets failed(). Does not own the device.
class BlockReader
{
public:
    static constexpr qint64 DefaultBlockSize = 256 * 1024;

    explicit BlockReader(QIODevice *device, qint64 blockSize = DefaultBlockSize);

    // At most count bytes from offset on; count is capped at the block size.
    QByteArrayView peek(qint64 offset, qint64 count);

    bool failed() const { return m_failed; }
    qint64 blockSize() const { return static_cast<qint64>(m_buffer.size()); }

private:
    void refill(qint64 offset);

    QIODevice *m_device;
    std::vector<char> m_buffer;
    qint64 m_start = 0;
    qint64 m_length = 0;
    qint64 m_devicePos = -1;
    bool m_atEnd = false;
    bool m_failed = false;
};
