#pragma once

#include <QString>

#include <cstdio>
#include <string>

// Text from files (CUE titles, track names, the repair engine's messages about unknown data)
// made safe for a terminal: control characters (C0, DEL, C1) and bytes that are not UTF-8
// are shown as \xNN escapes, so a crafted file cannot send terminal escape sequences.
class TerminalText
{
public:
    static QString escaped(const QString &text);
    // Raw bytes: valid UTF-8 passes (its control characters escaped), other bytes as \xNN.
    static QString escaped(const std::string &bytes);
    // One line of text, escaped, onto the stream, flushed at once.
    static void printLine(FILE *stream, const QString &text);
};
