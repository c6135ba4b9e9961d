#pragma once

#include <QString>
#include <QStringList>

// The programs a benchmark runs beside its own work: encoders to make its input once, and the
// processes it times.
class BenchProcess
{
public:
    // Runs a program with its output discarded; false, with its errors on stderr, when it fails.
    static bool run(const QString &program, const QStringList &arguments);

    struct Measured
    {
        double seconds = 0;
        long peakKiB = 0;
        double cpuSeconds = 0; // user + system: less at the mercy of a shared disk than the wall
    };
    // Runs a command (program first) with its output discarded; its own peak RSS and CPU time
    // come from wait4().
    static Measured measure(const QStringList &command);

    // Writes piece copies times over into path, which is one stream when piece has no
    // information frame.
    static bool writeCopies(const QString &piece, const QString &path, int copies);
};
