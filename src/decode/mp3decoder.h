#pragma once

#include <QFile>
#include <QString>

#include <vector>

class CheapMP3;
struct mpg123_handle_struct;

// Decodes spans of an indexed MP3 to interleaved float PCM (channels and rate of the file).
// Positions count sample frames of the played stream: what a player plays, so without the
// decoder's delay and, when the file has a LAME tag, without the encoder's delay and padding.
// Reads the index only through its const accessors and opens the file itself, so that every
// thread can have its own decoder over one shared index. One decoder per thread.
// Relies on libmpg123's feed reader with gapless decoding off: mpg123_decode_frame() numbers
// the frames from the first one fed, which places every frame's output even when the decoder
// yields nothing for one, and a frame whose reservoir is missing decodes to silence.
class Mp3Decoder
{
public:
    // The delay of the MPEG audio decoder's filter banks, in samples.
    static constexpr int DECODER_DELAY = 529;

    // Borrows the index, which must outlive the decoder.
    explicit Mp3Decoder(const CheapMP3 &index);
    ~Mp3Decoder();

    Mp3Decoder(const Mp3Decoder &) = delete;
    Mp3Decoder &operator=(const Mp3Decoder &) = delete;

    // Opens the source and the decoder; false with a reason when either fails.
    bool open(QString *error = nullptr);

    int sampleRate() const;
    int channels() const;
    // Encoder delay and padding from the LAME tag, 0 without one.
    int encoderDelay() const { return m_encoderDelay; }
    int encoderPadding() const { return m_encoderPadding; }
    // Samples of the index that come before the played sample 0.
    int leadingSamples() const { return m_encoderDelay + DECODER_DELAY; }
    // Sample frames of the played stream.
    qint64 sampleCount() const;

    // Decodes the played sample frames [first, first + count), clipped to the stream, into
    // pcm (replaced). False with a reason on a read or decoder failure.
    bool decode(qint64 first, qint64 count, std::vector<float> *pcm, QString *error = nullptr);

private:
    bool readLameTag();
    // Entries to feed before an entry for the bit reservoir and the overlap of its first
    // granule with the previous one.
    int preroll(int entry) const;

    const CheapMP3 &m_index;
    QFile m_file;
    mpg123_handle_struct *m_handle = nullptr;
    int m_encoderDelay = 0;
    int m_encoderPadding = 0;
    QByteArray m_bytes;
};
