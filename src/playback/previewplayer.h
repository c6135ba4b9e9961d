#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "mp3/cheapmp3.h"

class AudioOutput;
class Mp3Decoder;

// Plays a span of the open file to hear where a boundary falls. Decodes on the GUI thread a
// quarter of a second at a time, only as far ahead as the output needs, so a long play never
// decodes the whole file up front; a chunk decodes in well under a millisecond. Times are
// milliseconds of the index (the tracks' time). A new play replaces the one running (which
// emits stopped() first). GUI thread only.
class PreviewPlayer final : public QObject
{
    Q_OBJECT

public:
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

    // Played audio comes this far ahead of the output at most.
    static constexpr int AHEAD_MS = 500;
    // Ticks that feed the output and move the cursor, about 30 a second.
    static constexpr int TICK_MS = 33;

    explicit PreviewPlayer(QObject *parent = nullptr);
    ~PreviewPlayer() override;

    // The output of every later play; the default device when unset or empty.
    void setOutputFactory(OutputFactory factory);

    // Plays [fromMs, toMs) of the index; toMs < 0 plays to the end. The span is clipped to
    // the file. Emits failed() (and plays nothing) when the file cannot be decoded or there
    // is no sound device.
    void play(CheapMP3Ptr index, int fromMs, int toMs = -1);
    bool isPlaying() const;

public slots:
    // Stops at once; emits stopped() when something was playing.
    void stop();

signals:
    // Where playing has come, in milliseconds of the index.
    void positionChanged(int ms);
    // The span played to its end, or stop() ended it.
    void stopped();
    void failed(const QString &reason);

private:
    void tick();
    // Decodes and hands over what the output takes; false (after failed()) on an error.
    bool feed();
    // Index time after played sample frames of the span.
    int indexMs(qint64 played) const;
    void fail(const QString &reason);
    void release();

    OutputFactory m_factory;
    CheapMP3Ptr m_index;
    std::unique_ptr<Mp3Decoder> m_decoder;
    std::unique_ptr<AudioOutput> m_output;
    QTimer m_timer;
    int m_sampleRate = 0;
    int m_channels = 0;
    // The span's first played sample frame.
    qint64 m_first = 0;
    // Played sample frames still to decode: [m_next, m_end).
    qint64 m_next = 0;
    qint64 m_end = 0;
    // Sample frames the output has taken.
    qint64 m_handed = 0;
    // Decoded frames the output has not taken yet.
    std::vector<float> m_pending;
    qint64 m_pendingOffset = 0;
};
