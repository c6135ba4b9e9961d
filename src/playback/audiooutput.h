#pragma once

#include <QString>

// Where the preview player's PCM goes: a sound device, or a test that keeps it. The player
// pushes interleaved float frames as the output takes them and asks how far playing has
// come. GUI thread only.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // Opens the output for the format; false with a reason when it cannot play.
    virtual bool start(int sampleRate, int channels, QString *error) = 0;
    // Takes up to frames sample frames from pcm and returns how many it took.
    virtual qint64 write(const float *pcm, qint64 frames) = 0;
    // Microseconds of audio played since start().
    virtual qint64 playedUSecs() const = 0;
    // Why the output stopped playing on its own; empty while it works.
    virtual QString error() const = 0;
    virtual void stop() = 0;
};
