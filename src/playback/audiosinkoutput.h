#pragma once

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

#include "playback/audiooutput.h"

class QAudioSink;
class QIODevice;

// The default sound device through QAudioSink in push mode. Plays float samples where the
// device takes them and 16-bit ones elsewhere. No device, or a device that stops with an
// error, reads as an error, never as a crash.
class AudioSinkOutput final : public AudioOutput
{
public:
    AudioSinkOutput();
    ~AudioSinkOutput() override;

    bool start(int sampleRate, int channels, QString *error) override;
    qint64 write(const float *pcm, qint64 frames) override;
    qint64 playedUSecs() const override;
    QString error() const override;
    void stop() override;

private:
    std::unique_ptr<QAudioSink> m_sink;
    QPointer<QIODevice> m_device;
    int m_channels = 0;
    bool m_int16 = false;
    std::vector<qint16> m_converted;
};
