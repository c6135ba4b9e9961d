#pragma once

#include <QFile>
#include <QMetaType>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class BlockReader;
class IContinueListener;
class IReadedListener;
class IWritedListener;

// Frame index of one MP3: offset, length and an 8-bit gain per entry. Built once by
// readFile() on the opener thread, then shared read-only (CheapMP3Ptr): every copy opens
// the source on its own, so a slice and a paint may read one index at once. Every entry
// stands for SAMPLES_PER_ENTRY samples (an MPEG-2 or 2.5 entry spans two frames). Offsets are
// 64-bit so files over 2 GiB index correctly. Owns its arrays, not its listeners.
class CheapMP3
{
public:
    static constexpr int SAMPLES_PER_ENTRY = 1152;

    CheapMP3(IContinueListener *continueListener, IReadedListener *readListener,
             IWritedListener *writeListener);
    ~CheapMP3();

    CheapMP3(const CheapMP3 &) = delete;
    CheapMP3 &operator=(const CheapMP3 &) = delete;

    // Scans the file into the index. An unreadable file leaves the index empty; a stop
    // request leaves it empty too (the owner discards it). A leading ID3v2 tag and a
    // leading Xing/Info/VBRI frame are skipped, and so is a Xing/Info/VBRI frame of zero
    // side information further on (files joined end to end). An MPEG-2 or 2.5 entry is a
    // frame plus the next one when a valid header of the same version and sample rate starts
    // where it ends, outside the last 12 bytes; otherwise (an odd last frame, junk) the frame
    // is an entry alone.
    void readFile(const QString &path);

    // Copies entries [firstEntry, firstEntry + entryCount) into path, clipped to the index,
    // after the bytes of leadIn, asking the index's own continue and write listeners.
    // Returns false when the target cannot be created or written, when it is the source
    // itself, or when stopped; error then says why (empty when stopped).
    bool writeFile(const QString &path, int firstEntry, int entryCount,
                   const QByteArray &leadIn = {}, QString *error = nullptr) const;

    // Receives the copied bytes in runs of whole entries, in order, each before it is written.
    using EntrySink = std::function<void(const uchar *bytes, qsizetype size)>;
    // Who is asked to go on and told the progress of one copy; neither is owned.
    struct CopyListeners
    {
        IContinueListener *continueListener = nullptr;
        IWritedListener *writeListener = nullptr;
    };
    // writeFile() from the caller's open source into an open device, which is flushed but
    // stays open; the caller checks that it is not the source. Returns false when stopped
    // (error empty) or on failure.
    bool writeEntries(QFile &source, QFileDevice &out, int firstEntry, int entryCount,
                      const QByteArray &leadIn, const EntrySink &sink,
                      const CopyListeners &listeners, QString *error) const;
    // True when path names the source file, under any name.
    bool isSource(const QString &path) const;

    struct Frame;

    int frameCount() const { return m_frameCount; }
    // The indexed audio's length: entries × samples per entry ÷ sample rate, in whole ms.
    int lengthMs() const;
    qint64 frameOffset(int entry) const { return m_frameOffsets[entry]; }
    int frameLength(int entry) const { return m_frameLengths[entry]; }
    int frameGain(int entry) const { return m_frameGains[entry]; }
    const qint64 *frameOffsets() const { return m_frameOffsets.data(); }
    const int *frameLengths() const { return m_frameLengths.data(); }
    const quint8 *frameGains() const { return m_frameGains.data(); }

    qint64 fileSize() const { return m_fileSize; }
    int averageBitrate() const { return m_averageBitrate; }
    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    int capacity() const { return m_capacity; }
    qint64 bitrateSum() const { return m_bitrateSum; }
    int minGain() const { return m_minGain; }
    int maxGain() const { return m_maxGain; }
    // True when not every indexed frame has the same bitrate.
    bool bitrateVaries() const { return m_bitrateVaries; }
    QString fileName() const { return m_file.fileName(); }

    // The Xing, Info or VBRI frame that led the audio and was left out of the index, or
    // -1 / 0 when there was none. The slice job hands its LAME data on to the repair.
    qint64 infoFrameOffset() const { return m_infoFrameOffset; }
    int infoFrameLength() const { return m_infoFrameLength; }

    IContinueListener *continueListener() const { return m_continueListener; }
    void setContinueListener(IContinueListener *listener) { m_continueListener = listener; }

private:
    void resetIndex();
    // False when stopped.
    bool scanFrames(BlockReader &reader);
    bool skipInfoFrame(BlockReader &reader, qint64 pos, const Frame &h);
    // Appends the entry at pos (an MPEG-2 entry takes its partner frame) and returns its length.
    qint64 appendEntry(BlockReader &reader, qint64 pos, const Frame &h, int gain);
    bool appendEntryBytes(BlockReader &reader, size_t entry, std::vector<char> &to) const;
    void grow(qint64 pos);
    void resizeEntries(int capacity);
    void releaseEntries();

    int m_frameCount = 0;
    std::vector<qint64> m_frameOffsets;
    std::vector<int> m_frameLengths;
    std::vector<quint8> m_frameGains;
    qint64 m_fileSize = 0;
    int m_averageBitrate = 0;
    int m_sampleRate = 0;
    int m_channels = 0;
    int m_capacity = 0;
    qint64 m_bitrateSum = 0;
    int m_minGain = 255;
    int m_maxGain = 0;
    bool m_bitrateVaries = false;
    int m_firstBitrate = 0;
    qint64 m_infoFrameOffset = -1;
    int m_infoFrameLength = 0;
    QFile m_file;
    IContinueListener *m_continueListener = nullptr;
    IReadedListener *m_readListener = nullptr;
    IWritedListener *m_writeListener = nullptr;
};

// An index once read: shared by the session, the view and a running slice, never changed.
using CheapMP3Ptr = std::shared_ptr<const CheapMP3>;
Q_DECLARE_METATYPE(CheapMP3Ptr)
