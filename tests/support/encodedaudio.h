#pragma once

#include <vector>

#include <QList>
#include <QString>
#include <QStringList>

// Real encoder and decoder runs for integration tests: tones encoded by lame, files
// decoded by ffmpeg. Each call reports failure through its result and errorString.
class EncodedAudio
{
public:
    struct Tone
    {
        double seconds = 1.0;
        double frequency = 440.0; // 0 gives silence
        double amplitude = 0.5;
    };

    // Writes 16-bit PCM tones one after another as a WAV file.
    static bool writeWav(const QString &path, const QList<Tone> &tones, int sampleRate,
                         int channels);
    // Encodes the tones with lame, passing lameArguments (for example "-V2" or "-b128").
    static bool encode(const QString &mp3Path, const QList<Tone> &tones, int sampleRate,
                       int channels, const QStringList &lameArguments,
                       QString *errorString = nullptr);

    struct Decoded
    {
        bool ok = false;
        qint64 samples = 0; // per channel
        int sampleRate = 0;
        int channels = 0;
        QString errors; // decoder's diagnostics, empty when it had none
    };
    // Decodes the whole file with ffmpeg (errors shown) and counts the samples.
    static Decoded decode(const QString &mp3Path);

    // The whole file decoded to interleaved 16-bit samples by ffmpeg or mpg123; empty on
    // failure.
    static QByteArray pcm(const QString &mp3Path,
                          const QString &decoder = QStringLiteral("ffmpeg"));
    // The whole file decoded by ffmpeg to interleaved float samples; empty on failure.
    static std::vector<float> floatSamples(const QString &mp3Path);

    // Duration ffprobe reads from the file's header, in seconds; negative on failure.
    static double probedDuration(const QString &mp3Path);

    static bool haveTool(const QString &program);
};
