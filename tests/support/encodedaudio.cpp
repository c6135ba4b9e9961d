#include "encodedaudio.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

void appendLe(QByteArray &bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

bool EncodedAudio::writeWav(const QString &path, const QList<Tone> &tones, int sampleRate,
                            int channels)
{
    QByteArray pcm;
    double phase = 0.0;
    for (const Tone &tone : tones) {
        const qint64 count = std::llround(tone.seconds * sampleRate);
        for (qint64 i = 0; i < count; ++i) {
            const double v = tone.frequency > 0 ? tone.amplitude * std::sin(phase) : 0.0;
            phase += 2.0 * std::numbers::pi * tone.frequency / sampleRate;
            const auto sample = static_cast<qint16>(std::lround(v * 32767.0));
            for (int c = 0; c < channels; ++c)
                appendLe(pcm, static_cast<quint16>(sample), 2);
        }
    }
    QByteArray wav("RIFF");
    appendLe(wav, static_cast<quint32>(36 + pcm.size()), 4);
    wav += "WAVEfmt ";
    appendLe(wav, 16, 4);
    appendLe(wav, 1, 2);
    appendLe(wav, static_cast<quint32>(channels), 2);
    appendLe(wav, static_cast<quint32>(sampleRate), 4);
    appendLe(wav, static_cast<quint32>(sampleRate * channels * 2), 4);
    appendLe(wav, static_cast<quint32>(channels * 2), 2);
    appendLe(wav, 16, 2);
    wav += "data";
    appendLe(wav, static_cast<quint32>(pcm.size()), 4);
    wav += pcm;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(wav) == wav.size();
}

bool EncodedAudio::encode(const QString &mp3Path, const QList<Tone> &tones, int sampleRate,
                          int channels, const QStringList &lameArguments, QString *errorString)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(u"tone.wav"_s);
    if (!dir.isValid() || !writeWav(wav, tones, sampleRate, channels)) {
        if (errorString)
            *errorString = u"cannot write the WAV input"_s;
        return false;
    }
    QProcess lame;
    lame.start(u"lame"_s, QStringList{u"--quiet"_s} + lameArguments + QStringList{wav, mp3Path});
    if (!lame.waitForFinished(120000) || lame.exitStatus() != QProcess::NormalExit
        || lame.exitCode() != 0) {
        if (errorString)
            *errorString = u"lame failed: "_s + QString::fromLocal8Bit(lame.readAllStandardError());
        return false;
    }
    return true;
}

EncodedAudio::Decoded EncodedAudio::decode(const QString &mp3Path)
{
    Decoded result;
    QProcess probe;
    probe.start(u"ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-select_streams"_s, u"a:0"_s, u"-show_entries"_s,
                 u"stream=sample_rate,channels"_s, u"-of"_s, u"default=nw=1"_s, mp3Path});
    probe.waitForFinished(60000);
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(u"sample_rate="_s))
            result.sampleRate = line.mid(12).toInt();
        else if (line.startsWith(u"channels="_s))
            result.channels = line.mid(9).toInt();
    }
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s,
                 {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-i"_s, mp3Path, u"-f"_s, u"s16le"_s,
                  u"-acodec"_s, u"pcm_s16le"_s, u"-"_s});
    qint64 bytes = 0;
    while (ffmpeg.state() != QProcess::NotRunning || ffmpeg.bytesAvailable() > 0) {
        ffmpeg.waitForReadyRead(1000);
        bytes += ffmpeg.readAllStandardOutput().size();
        if (ffmpeg.state() == QProcess::NotRunning && ffmpeg.bytesAvailable() == 0)
            break;
    }
    ffmpeg.waitForFinished(60000);
    bytes += ffmpeg.readAllStandardOutput().size();
    result.errors = QString::fromLocal8Bit(ffmpeg.readAllStandardError()).trimmed();
    result.ok = ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0
        && result.channels > 0;
    if (result.channels > 0)
        result.samples = bytes / (2 * result.channels);
    return result;
}

namespace {

QByteArray decoded(const QString &decoder, const QStringList &arguments)
{
    QProcess process;
    process.start(decoder, arguments);
    QByteArray bytes;
    while (process.waitForReadyRead(60000) || process.bytesAvailable() > 0)
        bytes += process.readAllStandardOutput();
    process.waitForFinished(60000);
    bytes += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return bytes;
}

QStringList ffmpegArguments(const QString &mp3Path, const QString &format)
{
    return {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-i"_s, mp3Path, u"-f"_s, format, u"-"_s};
}

} // namespace

QByteArray EncodedAudio::pcm(const QString &mp3Path, const QString &decoder)
{
    return decoded(decoder,
                   decoder == u"mpg123"_s ? QStringList{u"-q"_s, u"-s"_s, mp3Path}
                                          : ffmpegArguments(mp3Path, u"s16le"_s));
}

std::vector<float> EncodedAudio::floatSamples(const QString &mp3Path)
{
    const QByteArray bytes = decoded(u"ffmpeg"_s, ffmpegArguments(mp3Path, u"f32le"_s));
    std::vector<float> samples(static_cast<std::size_t>(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

double EncodedAudio::probedDuration(const QString &mp3Path)
{
    QProcess probe;
    probe.start(u"ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format=duration"_s, u"-of"_s,
                 u"default=nw=1:nk=1"_s, mp3Path});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return -1.0;
    bool ok = false;
    const double seconds = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? seconds : -1.0;
}

bool EncodedAudio::haveTool(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}
