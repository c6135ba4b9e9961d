#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include "encodedaudio.h"

// Runs the real mavlor-cli (MAVLOR_CLI_PATH, set by the test target) and keeps what it said.
struct CliResult
{
    int status = -1; // -1: crashed or did not end in time
    QString out;
    QString err;
};

inline CliResult runCli(const QStringList &arguments, int timeoutMs = 120000)
{
    QProcess cli;
    cli.start(QStringLiteral(MAVLOR_CLI_PATH), arguments);
    CliResult result;
    if (!cli.waitForFinished(timeoutMs))
        return result;
    result.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.out = QString::fromUtf8(cli.readAllStandardOutput());
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}

// Length of the decoded audio in seconds, -1 when it does not decode.
inline double decodedSeconds(const QString &path)
{
    const EncodedAudio::Decoded decoded = EncodedAudio::decode(path);
    return decoded.ok && decoded.sampleRate > 0 ? double(decoded.samples) / decoded.sampleRate
                                                : -1.0;
}
