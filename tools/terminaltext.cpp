#include "terminaltext.h"

#include <QList>

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

void appendEscape(QString &out, unsigned value)
{
    out += QStringLiteral("\\x") + QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

// Length of the valid UTF-8 sequence at b[0] (of `left` bytes) and its code point; 0 if none.
int utf8Sequence(const unsigned char *b, std::size_t left, char32_t &codePoint)
{
    int length = 0;
    char32_t min = 0;
    if (b[0] >= 0xC2 && b[0] <= 0xDF) {
        length = 2;
        codePoint = b[0] & 0x1F;
        min = 0x80;
    } else if (b[0] >= 0xE0 && b[0] <= 0xEF) {
        length = 3;
        codePoint = b[0] & 0x0F;
        min = 0x800;
    } else if (b[0] >= 0xF0 && b[0] <= 0xF4) {
        length = 4;
        codePoint = b[0] & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < std::size_t(length))
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((b[i] & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (b[i] & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString TerminalText::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (isControl(c))
            appendEscape(out, unsigned(c));
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

QString TerminalText::escaped(const std::string &bytes)
{
    QString out;
    out.reserve(qsizetype(bytes.size()));
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = b[i];
        int length = c < 0x80 ? 1 : utf8Sequence(b + i, bytes.size() - i, c);
        if (length == 0) {
            appendEscape(out, b[i]);
            ++i;
            continue;
        }
        if (isControl(c))
            appendEscape(out, unsigned(c));
        else
            out += QString::fromUcs4(&c, 1);
        i += std::size_t(length);
    }
    return out;
}

void TerminalText::printLine(FILE *stream, const QString &text)
{
    std::fputs((escaped(text) + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
