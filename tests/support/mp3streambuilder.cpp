#include "mp3streambuilder.h"

#include <QFile>

#include <array>

namespace {

constexpr std::array<std::array<int, 16>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1}, // MPEG-1 L1
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},    // MPEG-1 L2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},     // MPEG-1 L3
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},    // MPEG-2 L1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},         // MPEG-2 L2/L3
}};

void setBits(QByteArray &bytes, int bitOffset, int bitCount, quint32 value)
{
    for (int i = 0; i < bitCount; ++i) {
        const int bit = bitOffset + i;
        const bool on = (value >> (bitCount - 1 - i)) & 1u;
        char &byte = bytes[bit / 8];
        const int mask = 0x80 >> (bit % 8);
        byte = static_cast<char>(on ? (byte | mask) : (byte & ~mask));
    }
}

} // namespace

quint32 Mp3StreamBuilder::Header::value() const
{
    const quint32 versionId = version == Mpeg1 ? 3 : version == Mpeg2 ? 2 : 0;
    const quint32 layerId = static_cast<quint32>(4 - layer) & 3u;
    quint32 v = 0xFFE00000u;
    v |= versionId << 19;
    v |= layerId << 17;
    v |= (crc ? 0u : 1u) << 16;
    v |= static_cast<quint32>(bitrateIndex & 15) << 12;
    v |= static_cast<quint32>(sampleRateIndex & 3) << 10;
    v |= (padding ? 1u : 0u) << 9;
    v |= static_cast<quint32>(mode & 3) << 6;
    return v;
}

int Mp3StreamBuilder::Header::bitrateKbps() const
{
    if (layer < 1 || layer > 3 || bitrateIndex < 0 || bitrateIndex > 15)
        return -1;
    const int table = version == Mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    return kBitrates[table][bitrateIndex];
}

int Mp3StreamBuilder::Header::sampleRate() const
{
    static constexpr std::array<int, 3> base = {44100, 48000, 32000};
    if (sampleRateIndex < 0 || sampleRateIndex > 2)
        return 0;
    const int divisor = version == Mpeg1 ? 1 : version == Mpeg2 ? 2 : 4;
    return base[sampleRateIndex] / divisor;
}

int Mp3StreamBuilder::Header::frameSize() const
{
    const int kbps = bitrateKbps();
    const int rate = sampleRate();
    if (kbps <= 0 || rate <= 0)
        return 0;
    const int pad = padding ? 1 : 0;
    if (layer == 1)
        return (12 * kbps * 1000 / rate + pad) * 4;
    const int coefficient = (layer == 3 && version != Mpeg1) ? 72 : 144;
    return coefficient * kbps * 1000 / rate + pad;
}

int Mp3StreamBuilder::Header::sideInfoSize() const
{
    if (version == Mpeg1)
        return mode == Mono ? 17 : 32;
    return mode == Mono ? 9 : 17;
}

int Mp3StreamBuilder::Header::xingOffset() const
{
    return 4 + sideInfoSize();
}

QByteArray Mp3StreamBuilder::frame(const Header &h, int gain, char fill)
{
    const int size = h.frameSize();
    QByteArray bytes(size, fill);
    if (size < 4)
        return bytes;
    putBigEndian32(bytes, 0, h.value());
    const int sideStart = 4 + (h.crc ? 2 : 0);
    for (int i = 4; i < sideStart + h.sideInfoSize() && i < size; ++i)
        bytes[i] = 0;
    if (gain >= 0 && h.layer == 3) {
        // main_data_begin, private bits, scfsi (MPEG-1 only), then part2_3_length (12) and
        // big_values (9) of granule 0, channel 0, before global_gain (8).
        const bool mono = h.mode == Mono;
        int bits = 0;
        if (h.version == Mpeg1)
            bits = 9 + (mono ? 5 : 3) + (mono ? 4 : 8);
        else
            bits = 8 + (mono ? 1 : 2);
        bits += 12 + 9;
        setBits(bytes, sideStart * 8 + bits, 8, static_cast<quint32>(gain & 0xFF));
    }
    return bytes;
}

QByteArray Mp3StreamBuilder::xingFrame(const Header &h, quint32 flags, quint32 frames,
                                       quint32 bytes, const QByteArray &toc, quint32 quality,
                                       const QByteArray &lame, const char *tag)
{
    QByteArray f = frame(h, -1, '\0');
    int at = h.xingOffset();
    auto put = [&](const QByteArray &data) {
        for (int i = 0; i < data.size() && at < f.size(); ++i)
            f[at++] = data[i];
    };
    put(QByteArray(tag, 4));
    QByteArray word(4, '\0');
    putBigEndian32(word, 0, flags);
    put(word);
    if (flags & 1) {
        putBigEndian32(word, 0, frames);
        put(word);
    }
    if (flags & 2) {
        putBigEndian32(word, 0, bytes);
        put(word);
    }
    if (flags & 4) {
        QByteArray table = toc.left(100);
        table.resize(100, '\0');
        put(table);
    }
    if (flags & 8) {
        putBigEndian32(word, 0, quality);
        put(word);
    }
    const int lameStart = at;
    put(lame);
    // A LAME tag whose CRC the caller left 0 gets a valid one, as LAME writes it: CRC-16/ARC
    // of the frame's bytes up to the CRC field.
    const int crcAt = lameStart + 34;
    if (lame.startsWith("LAME") && lame.size() >= 36 && crcAt + 2 <= f.size() && f[crcAt] == 0
        && f[crcAt + 1] == 0) {
        quint16 crc = 0;
        for (int i = 0; i < crcAt; ++i) {
            crc ^= static_cast<uchar>(f[i]);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        f[crcAt] = static_cast<char>(crc >> 8);
        f[crcAt + 1] = static_cast<char>(crc & 0xFF);
    }
    return f;
}

QByteArray Mp3StreamBuilder::lameExtension(int encoderDelay, int encoderPadding,
                                           quint32 musicLength)
{
    QByteArray lame("LAME3.100");
    lame.resize(36, '\0');
    lame[9] = 0x04;  // revision 0, VBR method 4 (vbr-new), as LAME 3.100 writes it
    lame[10] = 0x13; // lowpass / 100 Hz
    lame[21] = static_cast<char>((encoderDelay >> 4) & 0xFF);
    lame[22] = static_cast<char>(((encoderDelay & 0x0F) << 4) | ((encoderPadding >> 8) & 0x0F));
    lame[23] = static_cast<char>(encoderPadding & 0xFF);
    putBigEndian32(lame, 28, musicLength);
    return lame;
}

QByteArray Mp3StreamBuilder::vbriFrame(const Header &h)
{
    QByteArray f = frame(h, -1, '\0');
    if (f.size() >= 40)
        f.replace(36, 4, "VBRI");
    return f;
}

QByteArray Mp3StreamBuilder::id3v1(const QByteArray &title)
{
    QByteArray tag("TAG");
    tag += title.left(30);
    tag.resize(128, '\0');
    tag[127] = static_cast<char>(0xFF); // genre: none
    return tag;
}

QByteArray Mp3StreamBuilder::id3v2(int bodySize, bool footer, const QByteArray &body)
{
    QByteArray tag("ID3");
    tag += char(4);
    tag += char(0);
    tag += char(footer ? 0x10 : 0x00);
    QByteArray size(4, '\0');
    putBigEndian32(size, 0, syncsafe(bodySize));
    tag += size;
    for (int i = 0; i < bodySize; ++i)
        tag += body.isEmpty() ? '\0' : body[i % body.size()];
    if (footer) {
        QByteArray foot("3DI");
        foot += char(4);
        foot += char(0);
        foot += char(0x10);
        foot += size;
        tag += foot;
    }
    return tag;
}

QByteArray Mp3StreamBuilder::apeTag(int version, int itemsSize, bool withHeader)
{
    auto block = [&](bool isHeader) {
        QByteArray b("APETAGEX");
        b.resize(32, '\0');
        auto putLe = [&](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        putLe(8, static_cast<quint32>(version));
        putLe(12, static_cast<quint32>(itemsSize + 32)); // items + footer
        putLe(16, 0);
        putLe(20, (withHeader ? 0x80000000u : 0u) | (isHeader ? 0x20000000u : 0u));
        return b;
    };
    QByteArray tag;
    if (withHeader)
        tag += block(true);
    tag += QByteArray(itemsSize, 'a');
    tag += block(false);
    return tag;
}

QByteArray Mp3StreamBuilder::lyrics3v1(int dataSize)
{
    return QByteArray("LYRICSBEGIN") + QByteArray(dataSize, 'l') + QByteArray("LYRICSEND");
}

QByteArray Mp3StreamBuilder::lyrics3v2(int dataSize)
{
    const QByteArray size = QByteArray::number(11 + dataSize).rightJustified(6, '0');
    return QByteArray("LYRICSBEGIN") + QByteArray(dataSize, 'l') + size + QByteArray("LYRICS200");
}

void Mp3StreamBuilder::putBigEndian32(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

quint32 Mp3StreamBuilder::bigEndian(const QByteArray &bytes, qsizetype at, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | (at + i < bytes.size() ? quint8(bytes[at + i]) : 0);
    return value;
}

quint32 Mp3StreamBuilder::syncsafe(int value)
{
    const auto v = static_cast<quint32>(value);
    return ((v & 0x0FE00000u) << 3) | ((v & 0x001FC000u) << 2) | ((v & 0x00003F80u) << 1)
        | (v & 0x7Fu);
}

Mp3StreamBuilder &Mp3StreamBuilder::append(const QByteArray &bytes)
{
    m_bytes += bytes;
    return *this;
}

Mp3StreamBuilder &Mp3StreamBuilder::appendFrames(const Header &h, int count, int gain)
{
    for (int i = 0; i < count; ++i)
        m_bytes += frame(h, gain);
    return *this;
}

bool Mp3StreamBuilder::save(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(m_bytes) == m_bytes.size();
}
