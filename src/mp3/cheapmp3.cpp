#include "mp3/cheapmp3.h"

#include "mp3/blockreader.h"
#include "mp3/ireadedlistener.h"
#include "mp3/iwritedlistener.h"
#include "mp3/kernelcopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QObject>

#include "threads/icontinuelistener.h"
#include "vbrrepair/bigendian.h"
#include "vbrrepair/frameheader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The scan looks at 12 bytes per step; a header in the last 12 bytes is never indexed.
constexpr qint64 kWindow = 12;
// Enough for the header, a CRC and the global gain of MPEG-1 stereo side information.
constexpr qint64 kHeaderBytes = 13;
// Enough to see a "Xing", "Info" or "VBRI" tag in the first frame.
constexpr qint64 kInfoTagBytes = 40;
// Shortest possible entry: an MPEG-2 8 kbit/s frame at 24 kHz. Bounds the array growth.
constexpr qint64 kShortestEntry = 24;
constexpr qint64 kCopyChunk = 1024 * 1024;

} // namespace

// One accepted header, decoded once by the engine's FrameHeader: the scan asks each value
// several times per frame.
struct CheapMP3::Frame
{
    FrameHeader header;
    int kbps = 0;
    int sampleRate = 0;
    int length = 0;
    bool mpeg1 = true;
    bool mono = false;
};

namespace {

// 0 when b (at least 4 bytes, b[0] == 0xFF) starts an MPEG-1, 2 or 2.5 Layer III header
// with a usable bitrate and sample rate; otherwise how many bytes the sync search drops.
inline int acceptHeader(const uchar *b, CheapMP3::Frame &f)
{
    // 0xFA, 0xFB (MPEG-1), 0xF2, 0xF3 (MPEG-2) and 0xE2, 0xE3 (MPEG-2.5), Layer III, with
    // or without CRC; 0xEA, 0xEB is the reserved version.
    if ((b[1] & 0xE6) != 0xE2 || (b[1] & 0x18) == 0x08)
        return 1;
    f.header = FrameHeader(readBigEndian32(b));
    f.kbps = f.header.bitrateKbps();
    f.sampleRate = f.header.sampleRate();
    if (f.kbps <= 0 || f.sampleRate <= 0)
        return 2;
    const int version = f.header.version();
    f.mpeg1 = version == 1;
    f.length = FrameHeader::frameSizeOf(version, 3, f.kbps, f.sampleRate, f.header.isPadded());
    f.mono = f.header.channelMode() == 3;
    return 0;
}

// global_gain of granule 0, channel 0: it follows main_data_begin, private bits, scfsi
// (MPEG-1 only), part2_3_length (12) and big_values (9) in the side information, which a
// 16-bit CRC pushes back by two bytes. b holds kHeaderBytes bytes.
int globalGain(const uchar *b, const CheapMP3::Frame &f)
{
    int bits = f.mpeg1 ? (f.mono ? 9 + 5 + 4 : 9 + 3 + 8) : (f.mono ? 8 + 1 : 8 + 2);
    bits += 12 + 9 + (4 + (f.header.hasCrc() ? 2 : 0)) * 8;
    const int byte = bits / 8;
    const int shift = bits % 8;
    return ((b[byte] << shift) | (b[byte + 1] >> (8 - shift))) & 0xFF;
}

// Where the frame's "Xing", "Info" or "VBRI" tag starts, or -1 when it holds none.
qsizetype infoTagOffset(QByteArrayView frame, const FrameHeader &h)
{
    auto tagAt = [&](qsizetype at, const char *tag) {
        return at >= 0 && frame.size() >= at + 4 && std::memcmp(frame.data() + at, tag, 4) == 0;
    };
    const qsizetype xingAt = h.xingOffset();
    if (tagAt(xingAt, "Xing") || tagAt(xingAt, "Info"))
        return xingAt;
    return tagAt(36, "VBRI") ? 36 : -1;
}

bool hasInfoTag(QByteArrayView frame, const FrameHeader &h)
{
    return infoTagOffset(frame, h) >= 0;
}

// An information frame inside the stream, where files were joined end to end. Its side
// information is all zero (it decodes to nothing), which audio with the tag's four bytes
// at the tag's place never is in practice.
bool isJoinedInfoFrame(QByteArrayView frame, const FrameHeader &h)
{
    const qsizetype tagAt = infoTagOffset(frame, h);
    if (tagAt < 0)
        return false;
    const qsizetype sideStart = h.hasCrc() ? 6 : 4;
    for (qsizetype i = sideStart; i < tagAt; ++i) {
        if (frame[i] != 0)
            return false;
    }
    return true;
}

bool isJoinedInfoFrameAt(BlockReader &reader, qint64 pos, const CheapMP3::Frame &h)
{
    return isJoinedInfoFrame(reader.peek(pos, kInfoTagBytes), h.header);
}

// End of an ID3v2 tag at the start of the file, or 0 when there is none or its size is
// not believable.
qint64 id3v2TagEnd(BlockReader &reader, qint64 fileSize)
{
    const QByteArrayView head = reader.peek(0, 10);
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    const auto *b = reinterpret_cast<const uchar *>(head.data());
    qint64 size = 0;
    for (int i = 6; i < 10; ++i) {
        if (b[i] >= 0x80)
            return 0;
        size = (size << 7) | b[i];
    }
    size += 10;
    if (b[5] & 0x10)
        size += 10; // footer
    return size <= fileSize ? size : 0;
}

// Another name for the same file (a hard link) has another canonical path.
bool isSameFile(const QFile &open, const QString &path)
{
    struct stat opened = {};
    struct stat other = {};
    return open.handle() >= 0 && ::fstat(open.handle(), &opened) == 0
        && ::stat(QFile::encodeName(path).constData(), &other) == 0 && opened.st_dev == other.st_dev
        && opened.st_ino == other.st_ino;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("CheapMP3", text);
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

QString writeError(const QFileDevice &out)
{
    return translated("Cannot write %1: %2")
        .arg(QDir::toNativeSeparators(out.fileName()), out.errorString());
}

} // namespace

CheapMP3::CheapMP3(IContinueListener *continueListener, IReadedListener *readListener,
                   IWritedListener *writeListener)
    : m_continueListener(continueListener)
    , m_readListener(readListener)
    , m_writeListener(writeListener)
{
}

CheapMP3::~CheapMP3()
{
    if (m_file.isOpen())
        m_file.close();
}

void CheapMP3::readFile(const QString &path)
{
    resetIndex();
    m_file.setFileName(path);
    // Unbuffered: the block reader already reads in large blocks.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    m_fileSize = m_file.size();
    resizeEntries(64);

    BlockReader reader(&m_file);
    if (!scanFrames(reader)) {
        releaseEntries();
        return;
    }
    if (m_readListener)
        m_readListener->readed(100.0f);
    m_averageBitrate = m_frameCount > 0 ? static_cast<int>(m_bitrateSum / m_frameCount) : 0;
}

void CheapMP3::resetIndex()
{
    if (m_file.isOpen())
        m_file.close();
    releaseEntries();
    m_fileSize = 0;
    m_averageBitrate = 0;
    m_sampleRate = 0;
    m_channels = 0;
    m_bitrateSum = 0;
    m_minGain = 255;
    m_maxGain = 0;
    m_bitrateVaries = false;
    m_firstBitrate = 0;
    m_infoFrameOffset = -1;
    m_infoFrameLength = 0;
}

bool CheapMP3::scanFrames(BlockReader &reader)
{
    // Cover art in a leading ID3v2 tag is full of false syncs; skip it whole.
    qint64 pos = id3v2TagEnd(reader, m_fileSize);
    bool firstFrame = true;
    uchar b[kHeaderBytes];

    while (pos < m_fileSize - kWindow) {
        if (m_continueListener && !m_continueListener->shouldContinue())
            return false;
        const QByteArrayView window = reader.peek(pos, kHeaderBytes);
        if (window.size() < kWindow)
            break; // read error: end as at the end of the file
        std::memset(b, 0, sizeof b);
        std::memcpy(b, window.data(), static_cast<size_t>(window.size()));

        const void *sync = std::memchr(b, 0xFF, kWindow);
        if (sync != b) {
            pos += sync ? static_cast<const uchar *>(sync) - b : kWindow;
            continue;
        }
        Frame h;
        if (const int skip = acceptHeader(b, h)) {
            pos += skip;
            continue;
        }
        m_sampleRate = h.sampleRate;
        m_channels = h.mono ? 1 : 2;

        const bool leading = firstFrame;
        firstFrame = false;
        if (leading ? skipInfoFrame(reader, pos, h) : isJoinedInfoFrameAt(reader, pos, h)) {
            pos += h.length;
            if (m_readListener)
                m_readListener->readed(static_cast<float>(pos * 100.0 / m_fileSize));
            continue;
        }
        pos += appendEntry(reader, pos, h, globalGain(b, h));
        if (m_frameCount == m_capacity)
            grow(pos);
        if (m_readListener)
            m_readListener->readed(static_cast<float>(pos * 100.0 / m_fileSize));
    }
    return true;
}

bool CheapMP3::skipInfoFrame(BlockReader &reader, qint64 pos, const Frame &h)
{
    // A leading Xing/Info/VBRI frame holds no audio; indexed it would play as a silent
    // frame in track 1 and claim the whole album's length.
    if (!hasInfoTag(reader.peek(pos, kInfoTagBytes), h.header))
        return false;
    m_infoFrameOffset = pos;
    m_infoFrameLength = h.length;
    return true;
}

qint64 CheapMP3::appendEntry(BlockReader &reader, qint64 pos, const Frame &h, int gain)
{
    qint64 length = h.length;
    qint64 bitrate = h.kbps;
    if (m_firstBitrate == 0)
        m_firstBitrate = h.kbps;
    m_bitrateVaries = m_bitrateVaries || h.kbps != m_firstBitrate;

    if (!h.mpeg1) {
        // An entry stands for 1152 samples: two MPEG-2 or 2.5 frames, each sized by its own
        // header; the sample rate tells the versions apart. Without a valid partner of the
        // same rate right behind, the entry is the one frame.
        const qint64 second = pos + length;
        const QByteArrayView next =
            second < m_fileSize - kWindow ? reader.peek(second, 4) : QByteArrayView();
        Frame h2;
        if (next.size() == 4 && static_cast<uchar>(next[0]) == 0xFF
            && acceptHeader(reinterpret_cast<const uchar *>(next.data()), h2) == 0 && !h2.mpeg1
            && h2.sampleRate == h.sampleRate && !isJoinedInfoFrameAt(reader, second, h2)) {
            length += h2.length;
            // MPEG-2 and 2.5 bitrates are all even, so the mean is exact.
            bitrate = (h.kbps + h2.kbps) / 2;
            m_bitrateVaries = m_bitrateVaries || h2.kbps != m_firstBitrate;
            m_channels = h2.mono ? 1 : 2;
        }
    }

    const auto entry = static_cast<size_t>(m_frameCount);
    m_frameOffsets[entry] = pos;
    m_frameLengths[entry] = static_cast<int>(length);
    m_frameGains[entry] = static_cast<quint8>(gain);
    m_bitrateSum += bitrate;
    m_minGain = std::min(m_minGain, gain);
    m_maxGain = std::max(m_maxGain, gain);
    ++m_frameCount;
    return length;
}

void CheapMP3::grow(qint64 pos)
{
    m_averageBitrate = static_cast<int>(m_bitrateSum / m_frameCount);
    // Frames in the whole file plus 10 %; every entry is 1152 samples, whose bytes are
    // bitrate * 1152 / 8 / rate, so 144000 holds for both MPEG versions.
    qint64 estimate = ((m_fileSize / m_averageBitrate) * m_sampleRate / 144000) * 11 / 10;
    // False syncs of a tiny bitrate must not drive a huge allocation: no more entries can
    // follow than the bytes left hold shortest frames.
    const qint64 possible =
        m_frameCount + std::max<qint64>(0, m_fileSize - pos) / kShortestEntry + 1;
    estimate = std::min(estimate, possible);
    const qint64 doubled = 2 * static_cast<qint64>(m_capacity);
    const qint64 capacity =
        std::min<qint64>(std::max(estimate, doubled), std::numeric_limits<int>::max());
    resizeEntries(static_cast<int>(capacity));
}

void CheapMP3::resizeEntries(int capacity)
{
    m_capacity = capacity;
    const auto size = static_cast<size_t>(capacity);
    m_frameOffsets.resize(size);
    m_frameLengths.resize(size);
    m_frameGains.resize(size);
}

void CheapMP3::releaseEntries()
{
    m_frameCount = 0;
    m_capacity = 0;
    std::vector<qint64>().swap(m_frameOffsets);
    std::vector<int>().swap(m_frameLengths);
    std::vector<quint8>().swap(m_frameGains);
}

int CheapMP3::lengthMs() const
{
    if (m_sampleRate <= 0)
        return 0;
    return static_cast<int>(qint64(m_frameCount) * SAMPLES_PER_ENTRY * 1000 / m_sampleRate);
}

bool CheapMP3::isSource(const QString &path) const
{
    // Another name for the file (a symbolic or hard link) must count as the file too.
    const QString target = QFileInfo(path).canonicalFilePath();
    return (!target.isEmpty() && target == QFileInfo(m_file.fileName()).canonicalFilePath())
        || isSameFile(m_file, path);
}

bool CheapMP3::writeFile(const QString &path, int firstEntry, int entryCount,
                         const QByteArray &leadIn, QString *error) const
{
    if (error)
        error->clear();
    // Slicing into the source's own folder must never truncate the album itself.
    if (isSource(path)) {
        return fail(error,
                    translated("Cannot write %1: it is the file being sliced.")
                        .arg(QDir::toNativeSeparators(path)));
    }
    QFile source(m_file.fileName());
    if (source.fileName().isEmpty() || !source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(error,
                    translated("Cannot write %1: no source file is open.")
                        .arg(QDir::toNativeSeparators(path)));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return fail(error,
                    translated("Cannot create %1: %2")
                        .arg(QDir::toNativeSeparators(path), out.errorString()));
    }
    if (!writeEntries(source, out, firstEntry, entryCount, leadIn, {},
                      {m_continueListener, m_writeListener}, error))
        return false;
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail(error, writeError(out));
    return true;
}

bool CheapMP3::writeEntries(QFile &source, QFileDevice &out, int firstEntry, int entryCount,
                            const QByteArray &leadIn, const EntrySink &sink,
                            const CopyListeners &listeners, QString *error) const
{
    if (error)
        error->clear();
    if (!source.isOpen())
        return fail(error,
                    translated("Cannot write %1: no source file is open.")
                        .arg(QDir::toNativeSeparators(out.fileName())));
    const qint64 first = std::max<qint64>(firstEntry, 0);
    const qint64 last =
        std::min<qint64>(static_cast<qint64>(firstEntry) + std::max(entryCount, 0), m_frameCount);
    const qint64 count = std::max<qint64>(last - first, 0);

    IContinueListener *const continueListener = listeners.continueListener;
    IWritedListener *const writeListener = listeners.writeListener;
    auto shouldStop = [continueListener] {
        return continueListener && !continueListener->shouldContinue();
    };
    // The stop points of a slice are asked once per entry before the copy as well.
    for (qint64 i = 0; i < count; ++i) {
        if (shouldStop())
            return false;
    }

    // The lead-in goes first, through the device's own buffer.
    for (qsizetype done = 0; done < leadIn.size();) {
        const qint64 wrote = out.write(leadIn.constData() + done, leadIn.size() - done);
        if (wrote <= 0)
            return fail(error, writeError(out));
        done += wrote;
    }
    if (!out.flush())
        return fail(error, writeError(out));

    // Entries go out in runs, contiguous in the source and up to kCopyChunk long. The kernel
    // copies a run from file to file, so its bytes never pass through here. Where a sink
    // reads them anyway, or the kernel cannot copy between the two files, the bytes go
    // through memory and the device: writing what is in memory costs less than copying it
    // again in the kernel.
    bool inKernel = !sink;
    qint64 outAt = out.pos();
    std::vector<char> bytes;
    bytes.reserve(static_cast<size_t>(kCopyChunk + BlockReader::DefaultBlockSize));
    BlockReader reader(&source);
    qint64 runFirst = first;
    qint64 runEnd = first;
    auto readFailed = [&] {
        return fail(error,
                    translated("Cannot read %1: %2")
                        .arg(QDir::toNativeSeparators(source.fileName()), source.errorString()));
    };
    auto readRun = [&] {
        for (qint64 e = runFirst; e < runEnd; ++e) {
            if (!appendEntryBytes(reader, static_cast<size_t>(e), bytes))
                return false;
        }
        return true;
    };
    auto writeThroughDevice = [&](qsizetype from) {
        // A short write is asked again: only the failing call says why (a full disk).
        const auto size = static_cast<qint64>(bytes.size());
        for (qint64 done = from; done < size;) {
            const qint64 wrote = out.write(bytes.data() + done, size - done);
            if (wrote <= 0)
                return false;
            done += wrote;
        }
        return true;
    };
    auto copyRun = [&] {
        if (runEnd == runFirst)
            return true;
        const qint64 runAt = m_frameOffsets[static_cast<size_t>(runFirst)];
        qint64 runLength = 0;
        for (qint64 e = runFirst; e < runEnd; ++e)
            runLength += m_frameLengths[static_cast<size_t>(e)];
        bytes.clear();
        if (sink || !inKernel) {
            if (!readRun())
                return readFailed();
            if (sink)
                sink(reinterpret_cast<const uchar *>(bytes.data()),
                     static_cast<qsizetype>(bytes.size()));
        }
        qint64 copied = 0;
        if (inKernel) {
            copied = KernelCopy::copy(source.handle(), runAt, out.handle(), outAt, runLength);
            if (copied < 0)
                return fail(
                    error,
                    translated("Cannot write %1: %2")
                        .arg(QDir::toNativeSeparators(out.fileName()), qt_error_string(errno)));
            outAt += copied;
            // The last entry may run past the end of the source.
            if (copied < runLength && runAt + copied < m_fileSize) {
                inKernel = false;
                if (!out.seek(outAt))
                    return fail(error, writeError(out));
                if (!sink && !readRun())
                    return readFailed();
            }
        }
        if (!inKernel && !writeThroughDevice(static_cast<qsizetype>(copied)))
            return fail(error, writeError(out));
        runFirst = runEnd;
        return true;
    };

    qint64 runLength = 0;
    for (qint64 i = first; i < last; ++i) {
        if (shouldStop()) {
            // What was copied stays, and the device's position follows it.
            if (copyRun() && inKernel)
                out.seek(outAt);
            return false;
        }
        const auto entry = static_cast<size_t>(i);
        const bool joins = i > runFirst
            && m_frameOffsets[entry] == m_frameOffsets[entry - 1] + m_frameLengths[entry - 1];
        if (!joins || runLength >= kCopyChunk) {
            if (!copyRun())
                return false;
            runLength = 0;
        }
        runEnd = i + 1;
        runLength += m_frameLengths[entry];
        // Told as the entry joins its run: a stop on hearing it ends the run there.
        if (writeListener)
            writeListener->writed(static_cast<float>((i - first + 1) * 100.0 / count));
    }
    if (!copyRun())
        return false;
    // The device's position follows what the kernel wrote.
    if ((inKernel && !out.seek(outAt)) || !out.flush())
        return fail(error, writeError(out));
    if (writeListener)
        writeListener->writed(100.0f);
    return true;
}

bool CheapMP3::appendEntryBytes(BlockReader &reader, size_t entry, std::vector<char> &to) const
{
    qint64 at = m_frameOffsets[entry];
    qint64 left = m_frameLengths[entry];
    while (left > 0) {
        const QByteArrayView bytes = reader.peek(at, left);
        to.insert(to.end(), bytes.begin(), bytes.end());
        if (bytes.size() < std::min(left, reader.blockSize()))
            break; // the last entry may run past the end of the file
        at += bytes.size();
        left -= bytes.size();
    }
    return !reader.failed();
}
