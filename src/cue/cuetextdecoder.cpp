#include "cue/cuetextdecoder.h"

#include <QStringDecoder>

#include <array>

namespace {

// 0x80-0x9F of code page 1252; the five bytes it leaves undefined map to the same code point,
// as the Windows converter does, so no byte is ever lost.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool startsWith(const QByteArray &bytes, std::initializer_list<unsigned char> mark)
{
    if (bytes.size() < qsizetype(mark.size()))
        return false;
    qsizetype i = 0;
    for (const unsigned char byte : mark) {
        if (static_cast<unsigned char>(bytes.at(i++)) != byte)
            return false;
    }
    return true;
}

} // namespace

CueTextDecoder::Encoding CueTextDecoder::detect(const QByteArray &bytes, qsizetype *bomLength)
{
    qsizetype skip = 0;
    Encoding encoding = Encoding::Windows1252;
    // UTF-32 LE first: its mark begins with the UTF-16 LE one.
    if (startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00})) {
        encoding = Encoding::Utf32LE;
        skip = 4;
    } else if (startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF})) {
        encoding = Encoding::Utf32BE;
        skip = 4;
    } else if (startsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        encoding = Encoding::Utf8;
        skip = 3;
    } else if (startsWith(bytes, {0xFF, 0xFE})) {
        encoding = Encoding::Utf16LE;
        skip = 2;
    } else if (startsWith(bytes, {0xFE, 0xFF})) {
        encoding = Encoding::Utf16BE;
        skip = 2;
    } else if (isValidUtf8(bytes)) {
        encoding = Encoding::Utf8;
    }
    if (bomLength)
        *bomLength = skip;
    return encoding;
}

QString CueTextDecoder::decode(const QByteArray &bytes)
{
    qsizetype skip = 0;
    const Encoding encoding = detect(bytes, &skip);
    const QByteArrayView body = QByteArrayView(bytes).sliced(skip);
    auto withDecoder = [body](QStringConverter::Encoding qtEncoding) {
        // Qt's decoder replaces broken sequences (an odd trailing byte, a lone surrogate)
        // with U+FFFD and carries on.
        QStringDecoder decoder(qtEncoding, QStringConverter::Flag::Stateless);
        return QString(decoder.decode(body));
    };
    switch (encoding) {
    case Encoding::Utf8:
        return QString::fromUtf8(body);
    case Encoding::Utf16LE:
        return withDecoder(QStringConverter::Utf16LE);
    case Encoding::Utf16BE:
        return withDecoder(QStringConverter::Utf16BE);
    case Encoding::Utf32LE:
        return withDecoder(QStringConverter::Utf32LE);
    case Encoding::Utf32BE:
        return withDecoder(QStringConverter::Utf32BE);
    case Encoding::Windows1252:
        break;
    }
    return fromWindows1252(bytes);
}

bool CueTextDecoder::isValidUtf8(const QByteArray &bytes)
{
    // RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes.at(i));
        if (lead < 0x80) {
            ++i;
            continue;
        }
        qsizetype length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (length > size - i)
            return false;
        for (qsizetype k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(bytes.at(i + k));
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (byte < min || byte > max)
                return false;
        }
        i += length;
    }
    return true;
}

QString CueTextDecoder::fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(windows1252High[byte - 0x80])
                                                : QChar(char16_t(byte));
    }
    return text;
}
