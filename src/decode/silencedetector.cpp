#include "decode/silencedetector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "decode/mp3decoder.h"
#include "mp3/cheapmp3.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kEntry = CheapMP3::SAMPLES_PER_ENTRY;
// Entries decoded around a candidate run: the decoded sound of an entry overlaps its
// neighbours, and a silence may begin or end inside the entry next to the run.
constexpr int kMargin = 2;
// Candidate runs closer than this many entries are decoded as one window.
constexpr int kJoin = 3;
// Entries decoded per call, which bounds the memory a long silence takes.
constexpr int kChunkEntries = 128;
// Gains from here up only occur for granules that hold no energy.
constexpr int kEmptyGain = 200;
// A gain step scales the quantizer by 2^(1/4), which is 1.5 dB.
constexpr double kGainStepDecibels = 1.505;
// Entries decoded to learn how loud a gain is, and the steps of margin on what they teach:
// the gain belongs to one granule and one channel, the level to the whole entry.
constexpr int kSampleEntries = 48;
constexpr int kMarginSteps = 6;

struct Window
{
    int first = 0; // entries [first, end)
    int end = 0;
};

} // namespace

SilenceDetector::SilenceDetector(const CheapMP3 &index)
    : m_index(index)
{
}

int SilenceDetector::candidateGain(Mp3Decoder &decoder, const Progress &progress,
                                   QString *error) const
{
    // An entry's peak stands some decibels above its gain's step; how far depends on the
    // bitrate and the music. The least distance among sampled entries, less a margin, bounds
    // the gain of an entry whose peak is under the threshold.
    const int count = m_index.frameCount();
    double lowest = std::numeric_limits<double>::infinity();
    std::vector<float> pcm;
    for (int k = 0; k < kSampleEntries; ++k) {
        if (progress && !progress(0))
            return -1;
        const int entry = int(qint64(count) * (2 * k + 1) / (2 * kSampleEntries));
        const int gain = m_index.frameGain(entry);
        if (gain >= kEmptyGain)
            continue;
        if (!decoder.decode(qint64(entry) * kEntry - decoder.leadingSamples(), kEntry, &pcm, error))
            return -1;
        float peak = 0.f;
        for (float v : pcm)
            peak = std::max(peak, std::fabs(v));
        if (peak > 0.f)
            lowest = std::min(lowest, 20.0 * std::log10(peak) - kGainStepDecibels * gain);
    }
    // Nothing learnt (a short or silent file): every entry is a candidate.
    if (!std::isfinite(lowest))
        return kEmptyGain - 1;
    const double gain = (m_threshold - lowest) / kGainStepDecibels + kMarginSteps;
    return static_cast<int>(std::clamp(std::ceil(gain), 0.0, double(kEmptyGain - 1)));
}

int SilenceDetector::sampleRate() const
{
    return m_index.sampleRate();
}

bool SilenceDetector::find(SilenceList *silences, const Progress &progress, QString *error)
{
    silences->clear();
    Mp3Decoder decoder(m_index);
    if (!decoder.open(error))
        return false;
    m_leadingSamples = decoder.leadingSamples();
    m_sampleCount = decoder.sampleCount();
    const int channels = decoder.channels();
    const auto level = static_cast<float>(std::pow(10.0, m_threshold / 20.0));
    const qint64 minimumSamples = std::max<qint64>(1, std::llround(m_minimum * sampleRate()));

    // Runs of entries that may be quiet, joined and widened into windows worth decoding.
    const int limit = candidateGain(decoder, progress, error);
    if (limit < 0)
        return false;
    const quint8 *gains = m_index.frameGains();
    std::vector<Window> windows;
    qint64 windowSamples = 0;
    auto keep = [&](int first, int end) {
        // A run shorter than the minimum by more than its two partial edge entries is none.
        if (qint64(end - first + 2) * kEntry < minimumSamples)
            return;
        const Window window{std::max(0, first - kMargin),
                            std::min(m_index.frameCount(), end + kMargin)};
        if (!windows.empty() && window.first <= windows.back().end)
            windows.back().end = window.end;
        else
            windows.push_back(window);
    };
    int runFirst = -1;
    int runEnd = -1;
    for (int i = 0; i < m_index.frameCount(); ++i) {
        if (gains[i] > limit && gains[i] < kEmptyGain)
            continue;
        if (runFirst < 0 || i - runEnd >= kJoin) {
            if (runFirst >= 0)
                keep(runFirst, runEnd);
            runFirst = i;
        }
        runEnd = i + 1;
    }
    if (runFirst >= 0)
        keep(runFirst, runEnd);
    for (const Window &w : windows)
        windowSamples += qint64(w.end - w.first) * kEntry;

    // Measures the windows chunk by chunk, in played samples.
    std::vector<float> pcm;
    qint64 done = 0;
    for (const Window &w : windows) {
        const qint64 first = std::max<qint64>(0, qint64(w.first) * kEntry - m_leadingSamples);
        const qint64 end =
            std::min<qint64>(m_sampleCount, qint64(w.end) * kEntry - m_leadingSamples);
        qint64 quietFrom = -1;
        auto close = [&](qint64 at) {
            if (quietFrom >= 0 && at - quietFrom >= minimumSamples)
                silences->append(Silence{quietFrom, at});
            quietFrom = -1;
        };
        for (qint64 at = first; at < end; at += qint64(kChunkEntries) * kEntry) {
            if (progress && !progress(windowSamples ? int(done * 100 / windowSamples) : 0)) {
                silences->clear();
                return false;
            }
            const qint64 count = std::min<qint64>(qint64(kChunkEntries) * kEntry, end - at);
            if (!decoder.decode(at, count, &pcm, error)) {
                silences->clear();
                return false;
            }
            for (qint64 s = 0; s < count; ++s) {
                const float *frame = pcm.data() + s * channels;
                const bool quiet = std::all_of(frame, frame + channels,
                                               [level](float v) { return std::fabs(v) < level; });
                if (quiet && quietFrom < 0)
                    quietFrom = at + s;
                else if (!quiet)
                    close(at + s);
            }
            done += count;
        }
        close(end);
    }
    if (progress)
        progress(100);
    return true;
}

qint64 SilenceDetector::boundary(const Silence &silence) const
{
    const qint64 lead = sampleRate() / 2;
    const qint64 middle = silence.start + (silence.end - silence.start) / 2;
    return std::max(middle, silence.end - lead);
}

QList<int> SilenceDetector::cuts(const SilenceList &silences) const
{
    const qint64 rate = std::max(1, sampleRate());
    const int total = m_index.lengthMs();
    QList<int> result;
    for (const Silence &silence : silences) {
        if (silence.start <= 0 || silence.end >= m_sampleCount)
            continue;
        // Played samples lag the index by the decoder's and encoder's delay.
        const int ms = static_cast<int>((boundary(silence) + m_leadingSamples) * 1000 / rate);
        if (ms > (result.isEmpty() ? 0 : result.last()) && ms < total)
            result.append(ms);
    }
    return result;
}
