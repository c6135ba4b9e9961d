#pragma once

#include <QString>

// A one-line progress bar on standard error, drawn only when standard error is a terminal
// and the user did not ask for quiet output.
class ConsoleProgress
{
public:
    explicit ConsoleProgress(bool quiet);

    void show(const QString &label, int percent);
    // Ends the bar's line so that the next output starts on a fresh one.
    void finish();

private:
    bool m_enabled = false;
    bool m_drawn = false;
    QString m_lastLine;
};
