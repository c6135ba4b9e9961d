#pragma once

#include <QList>
#include <QMetaType>

#include <functional>

class CheapMP3;
class Mp3Decoder;

// Finds the silences of an indexed MP3: the frame gains of the index rule out the entries
// that cannot be quiet, and only the windows around the rest are decoded and measured. How
// loud a gain is depends on the encoder and its bitrate, so a few entries spread over the
// file are decoded first to learn it. A silence is a run at least setMinimum() seconds long
// in which every sample of every channel stays under setThreshold() dB of full scale.
class SilenceDetector
{
public:
    // Played sample frames [start, end) as Mp3Decoder counts them.
    struct Silence
    {
        qint64 start = 0;
        qint64 end = 0;
        friend bool operator==(const Silence &, const Silence &) = default;
    };
    using SilenceList = QList<Silence>;

    // Above the hiss of a tape or vinyl transfer, below the quietest music that is still held.
    static constexpr double DEFAULT_THRESHOLD = -50.0;
    // Shorter than the usual two seconds between tracks, longer than a rest inside a piece.
    static constexpr double DEFAULT_MINIMUM = 1.5;

    // Borrows the index, which must outlive the detector.
    explicit SilenceDetector(const CheapMP3 &index);

    void setThreshold(double decibels) { m_threshold = decibels; }
    void setMinimum(double seconds) { m_minimum = seconds; }

    // Asked between decoded windows with the share done; false stops the search.
    using Progress = std::function<bool(int percent)>;
    // The silences in time order. False when stopped (no silences) or when the file cannot be
    // decoded (error says why).
    bool find(SilenceList *silences, const Progress &progress = {}, QString *error = nullptr);

    int sampleRate() const;
    // Played sample where a boundary goes in the silence: half a second before the next
    // sound, or the middle of a silence shorter than a second.
    qint64 boundary(const Silence &silence) const;
    // The boundaries, in order, in the milliseconds of the index (the tracks' time), for
    // Session::cutAt(); silences at the very start or end cut nothing. Valid after find().
    QList<int> cuts(const SilenceList &silences) const;

private:
    // The highest frame gain an entry under the threshold may have, learnt from decoded
    // samples of the file; -1 when stopped or failed.
    int candidateGain(Mp3Decoder &decoder, const Progress &progress, QString *error) const;

    const CheapMP3 &m_index;
    double m_threshold = DEFAULT_THRESHOLD;
    double m_minimum = DEFAULT_MINIMUM;
    int m_leadingSamples = 0;
    qint64 m_sampleCount = 0;
};

using SilenceList = SilenceDetector::SilenceList;

Q_DECLARE_METATYPE(SilenceDetector::Silence)
Q_DECLARE_METATYPE(SilenceList)
