#include "playback/previewplayer.h"

#include <algorithm>

#include "decode/mp3decoder.h"
#include "playback/audiooutput.h"
#include "playback/audiosinkoutput.h"

PreviewPlayer::PreviewPlayer(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(TICK_MS);
    connect(&m_timer, &QTimer::timeout, this, &PreviewPlayer::tick);
}

PreviewPlayer::~PreviewPlayer()
{
    release();
}

void PreviewPlayer::setOutputFactory(OutputFactory factory)
{
    m_factory = std::move(factory);
}

void PreviewPlayer::play(CheapMP3Ptr index, int fromMs, int toMs)
{
    stop();
    if (!index)
        return;
    m_index = std::move(index);
    m_decoder = std::make_unique<Mp3Decoder>(*m_index);
    QString error;
    if (!m_decoder->open(&error)) {
        fail(error);
        return;
    }
    m_sampleRate = m_decoder->sampleRate();
    m_channels = m_decoder->channels();
    // Index time counts the samples before the played sample 0 too.
    const auto played = [this](int ms) {
        const qint64 sample = qint64(ms) * m_sampleRate / 1000 - m_decoder->leadingSamples();
        return std::clamp<qint64>(sample, 0, m_decoder->sampleCount());
    };
    m_next = played(std::max(fromMs, 0));
    m_end = toMs < 0 ? m_decoder->sampleCount() : played(toMs);
    m_first = m_next;

    m_output = m_factory ? m_factory() : nullptr;
    if (!m_output)
        m_output = std::make_unique<AudioSinkOutput>();
    if (!m_output->start(m_sampleRate, m_channels, &error)) {
        fail(error);
        return;
    }
    if (!feed())
        return;
    m_timer.start();
    emit positionChanged(indexMs(0));
}

bool PreviewPlayer::isPlaying() const
{
    return m_timer.isActive();
}

void PreviewPlayer::stop()
{
    const bool playing = isPlaying();
    release();
    if (playing)
        emit stopped();
}

void PreviewPlayer::tick()
{
    const QString error = m_output->error();
    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    if (!feed())
        return;
    // Compared in microseconds, as the output counts, so that rounding cannot hold the end.
    const qint64 playedUSecs = m_output->playedUSecs();
    const bool done =
        m_next >= m_end && m_pending.empty() && playedUSecs >= m_handed * 1000000 / m_sampleRate;
    emit positionChanged(
        indexMs(done ? m_handed : std::min(playedUSecs * m_sampleRate / 1000000, m_handed)));
    if (done)
        stop();
}

bool PreviewPlayer::feed()
{
    const qint64 chunk = qint64(m_sampleRate) * AHEAD_MS / 1000;
    for (;;) {
        if (m_pendingOffset * m_channels >= qint64(m_pending.size())) {
            m_pending.clear();
            m_pendingOffset = 0;
            if (m_next >= m_end)
                return true;
            // Sample frames already handed over but not played yet keep the decoder waiting.
            const qint64 played = m_output->playedUSecs() * m_sampleRate / 1000000;
            if (m_handed - played >= chunk)
                return true;
            QString error;
            const qint64 count = std::min(chunk / 2, m_end - m_next);
            if (!m_decoder->decode(m_next, count, &m_pending, &error)) {
                fail(error);
                return false;
            }
            m_next += count;
            // Past the decoded end of a damaged file the span ends early.
            if (qint64(m_pending.size()) < count * m_channels)
                m_end = m_next;
        }
        const qint64 left = qint64(m_pending.size()) / m_channels - m_pendingOffset;
        const qint64 taken = m_output->write(m_pending.data() + m_pendingOffset * m_channels, left);
        m_pendingOffset += taken;
        m_handed += taken;
        if (taken < left)
            return true;
    }
}

int PreviewPlayer::indexMs(qint64 played) const
{
    // Index time counts the samples before the played sample 0 too.
    return int((m_first + played + m_decoder->leadingSamples()) * 1000 / m_sampleRate);
}

void PreviewPlayer::fail(const QString &reason)
{
    release();
    emit failed(reason);
}

void PreviewPlayer::release()
{
    m_timer.stop();
    if (m_output)
        m_output->stop();
    m_output.reset();
    m_decoder.reset();
    m_index.reset();
    m_pending.clear();
    m_pendingOffset = 0;
    m_next = m_end = m_handed = 0;
}
