#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Builds MP3 byte streams for tests: frames of chosen headers with a global gain placed
// where ISO 11172-3 / 13818-3 put it, information frames (Xing, Info, LAME, VBRI) and tag
// blocks (ID3v1, ID3v2, APE, Lyrics3). Sizes come from the standards' formulas, written
// here independently of the code under test.
class Mp3StreamBuilder
{
public:
    enum Version {
        Mpeg1 = 1,
        Mpeg2 = 2,
        Mpeg25 = 25
    };
    enum ChannelMode {
        Stereo = 0,
        JointStereo = 1,
        DualChannel = 2,
        Mono = 3
    };

    struct Header
    {
        Version version = Mpeg1;
        int layer = 3;
        int bitrateIndex = 9;    // 128 kbit/s for MPEG-1 Layer III
        int sampleRateIndex = 0; // 44100 Hz for MPEG-1
        bool padding = false;
        bool crc = false;
        ChannelMode mode = JointStereo;

        quint32 value() const;
        int bitrateKbps() const;
        int sampleRate() const;
        int frameSize() const;    // bytes, 0 for free format or invalid fields
        int sideInfoSize() const; // Layer III side information, bytes
        int xingOffset() const;   // 4 + side information
    };

    // A frame of h.frameSize() bytes; the body is filled with fill, the side information
    // is zero except for the first granule's global gain (when gain >= 0).
    static QByteArray frame(const Header &h, int gain = -1, char fill = '\x55');

    // A Xing/Info frame with the given fields; only the fields flagged are written. lame
    // is placed right after them; a LAME tag whose CRC field is zero gets its valid CRC.
    static QByteArray xingFrame(const Header &h, quint32 flags, quint32 frames, quint32 bytes,
                                const QByteArray &toc = {}, quint32 quality = 0,
                                const QByteArray &lame = {}, const char *tag = "Xing");
    // A LAME extension of 36 bytes ("LAME3.100" ... tag CRC) with the given delay and
    // padding; the CRC fields are left zero (xingFrame() fills the tag CRC).
    static QByteArray lameExtension(int encoderDelay = 576, int encoderPadding = 1000,
                                    quint32 musicLength = 0);
    static QByteArray vbriFrame(const Header &h);

    static QByteArray id3v1(const QByteArray &title = "title");
    // Header + body of bodySize bytes (+ footer). body is repeated to fill the size.
    static QByteArray id3v2(int bodySize, bool footer = false,
                            const QByteArray &body = QByteArray(1, '\0'));
    static QByteArray apeTag(int version, int itemsSize, bool withHeader = true);
    static QByteArray lyrics3v1(int dataSize);
    static QByteArray lyrics3v2(int dataSize);

    static void putBigEndian32(QByteArray &bytes, int at, quint32 value);
    // length (at most 4) bytes at at, big-endian; bytes past the end read as 0.
    static quint32 bigEndian(const QByteArray &bytes, qsizetype at, int length);
    static quint32 syncsafe(int value);

    Mp3StreamBuilder &append(const QByteArray &bytes);
    Mp3StreamBuilder &appendFrames(const Header &h, int count, int gain = -1);
    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }

    // Writes the bytes to path; returns false on failure.
    bool save(const QString &path) const;

private:
    QByteArray m_bytes;
};
