#include "playback/audiosinkoutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>

AudioSinkOutput::AudioSinkOutput() = default;

AudioSinkOutput::~AudioSinkOutput()
{
    stop();
}

bool AudioSinkOutput::start(int sampleRate, int channels, QString *error)
{
    stop();
    const auto fail = [this, error] {
        stop();
        if (error)
            *error = QCoreApplication::translate("AudioSinkOutput", "No sound device.");
        return false;
    };
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return fail();
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Float);
    m_int16 = !device.isFormatSupported(format);
    if (m_int16) {
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            return fail();
    }
    m_channels = channels;
    m_sink = std::make_unique<QAudioSink>(device, format);
    // Half a second ahead is enough to ride out a busy event loop.
    m_sink->setBufferSize(format.bytesForDuration(500000));
    m_device = m_sink->start();
    if (!m_device || m_sink->error() != QAudio::NoError)
        return fail();
    return true;
}

qint64 AudioSinkOutput::write(const float *pcm, qint64 frames)
{
    if (!m_sink || !m_device)
        return 0;
    const int sampleBytes = m_int16 ? int(sizeof(qint16)) : int(sizeof(float));
    const qint64 frameBytes = qint64(m_channels) * sampleBytes;
    const qint64 fit = std::min(frames, m_sink->bytesFree() / frameBytes);
    if (fit <= 0)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(pcm);
    if (m_int16) {
        m_converted.resize(std::size_t(fit * m_channels));
        std::transform(pcm, pcm + fit * m_channels, m_converted.begin(), [](float sample) {
            return qint16(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
        });
        bytes = reinterpret_cast<const char *>(m_converted.data());
    }
    const qint64 written = m_device->write(bytes, fit * frameBytes);
    return written < 0 ? 0 : written / frameBytes;
}

qint64 AudioSinkOutput::playedUSecs() const
{
    return m_sink ? m_sink->processedUSecs() : 0;
}

QString AudioSinkOutput::error() const
{
    if (m_sink && (m_sink->error() == QAudio::OpenError || m_sink->error() == QAudio::FatalError))
        return QCoreApplication::translate("AudioSinkOutput", "No sound device.");
    return {};
}

void AudioSinkOutput::stop()
{
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_device = nullptr;
}
