#include "consoleprogress.h"

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

ConsoleProgress::ConsoleProgress(bool quiet)
    : m_enabled(!quiet && isatty(STDERR_FILENO))
{
}

void ConsoleProgress::show(const QString &label, int percent)
{
    if (!m_enabled)
        return;
    percent = std::clamp(percent, 0, 100);
    constexpr int width = 30;
    const int filled = percent * width / 100;
    const QString line = u"\r%1 [%2%3] %4%"_s
                             .arg(label.left(36).leftJustified(36), QString(filled, u'#'),
                                  QString(width - filled, u'.'))
                             .arg(percent, 3);
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    m_drawn = true;
}

void ConsoleProgress::finish()
{
    if (m_drawn) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
    }
    m_drawn = false;
    m_lastLine.clear();
}
