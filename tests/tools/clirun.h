#pragma once

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

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

// The 12 s the lookup commands split: three tones of 4 s, VBR.
inline bool encodeThreeTones(const QString &path, QString *error)
{
    return EncodedAudio::encode(path, {{4.0, 330.0, 0.5}, {4.0, 550.0, 0.5}, {4.0, 770.0, 0.4}},
                                44100, 2, {QStringLiteral("-V2")}, error);
}

// A lookup search ends with the status and standard output given, err within its errors, and
// a failure that is not a usage error said in one line.
inline void checkSearch(const QStringList &arguments, int status, const QString &out,
                        const QString &err)
{
    const CliResult result = runCli(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    if (status == 2 && !err.contains(QStringLiteral("--")))
        QCOMPARE(result.err.count(u'\n'), 1);
}

// "split ALBUM SOURCE... --out OUT --quiet [--tracks SELECTION]" ends with the status given and
// err in its errors (none when err is empty); the MP3s in out, by name, are the rows of tracks,
// "file name|tag|seconds" with tagOf(path) as the tag and whole seconds last.
template<typename TagOf>
void checkSplit(const QStringList &command, const QString &out, const QString &selection,
                int status, const QString &err, const QStringList &tracks, TagOf tagOf)
{
    QStringList arguments =
        command + QStringList{QStringLiteral("--out"), out, QStringLiteral("--quiet")};
    if (!selection.isEmpty())
        arguments << QStringLiteral("--tracks") << selection;
    const CliResult result = runCli(arguments);
    QVERIFY2(result.status == status, qPrintable(result.err));
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    QCOMPARE(result.err.isEmpty(), err.isEmpty());

    QStringList found;
    const QStringList written =
        QDir(out).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
    for (const QString &name : written) {
        const QString path = out + u'/' + name;
        const double seconds = decodedSeconds(path);
        found << QStringLiteral("%1|%2|%3").arg(name, tagOf(path)).arg(qRound(seconds));
        // Within a frame of 26 ms plus the decoder's trim of at most one frame.
        const double expected = tracks.value(found.size() - 1).section(u'|', -1).toDouble();
        QVERIFY2(qAbs(seconds - expected) <= 0.027 + 1152.0 / 44100,
                 qPrintable(QStringLiteral("%1: %2 s").arg(name).arg(seconds)));
    }
    QCOMPARE(found, tracks);
}
