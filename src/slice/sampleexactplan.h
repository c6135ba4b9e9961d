#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CheapMP3;
class XingFrame;

// How one track is cut to the sample without re-encoding: the frames from one or two before
// its first sample (the decoder's overlap) to the one holding its last, led by frames of
// silent side information that carry the bit reservoir the first copied frame reaches back
// into, and a Xing/Info frame whose LAME delay and padding make a decoder that honours them
// play exactly the track's samples. Samples count as a player plays the source: without its
// own encoder delay and padding when it has a LAME tag, every decoded sample otherwise.
class SampleExactPlan
{
    Q_DECLARE_TR_FUNCTIONS(SampleExactPlan)

public:
    // Source bytes copied as they are: whole frames, contiguous, at most about a MiB.
    struct Run
    {
        qint64 offset = 0;
        qint64 size = 0;
    };

    SampleExactPlan();
    ~SampleExactPlan();
    SampleExactPlan(SampleExactPlan &&) noexcept;
    SampleExactPlan &operator=(SampleExactPlan &&) noexcept;

    // Plans samples [startSample, endSample) of the source; endSample < 0 runs to its end.
    // sourceXing is the source's leading Xing/Info frame (nullptr when none). On failure the
    // plan is not ok() and error() says why.
    static SampleExactPlan make(QFile &source, const CheapMP3 &index, const XingFrame *sourceXing,
                                qint64 startSample, qint64 endSample);

    bool ok() const { return m_error.isEmpty() && m_header; }
    QString error() const { return m_error; }
    // The silent frames that go first.
    const QByteArray &lead() const { return m_lead; }
    const std::vector<Run> &runs() const { return m_runs; }
    // The size of the header frame that leads the track.
    int headerSize() const;
    // The header frame for a track whose frames (the header frame first) have these sizes
    // and whose audio frames have the LAME music CRC musicCrc; empty when it cannot be made.
    std::vector<unsigned char> headerFrame(const std::vector<std::uint64_t> &frameSizes,
                                           std::uint16_t musicCrc);
    int encoderDelay() const { return m_delay; }
    int encoderPadding() const { return m_padding; }
    int silentFrames() const { return m_silentFrames; }

private:
    QString m_error;
    QByteArray m_lead;
    std::vector<Run> m_runs;
    std::unique_ptr<XingFrame> m_header;
    int m_delay = 0;
    int m_padding = 0;
    int m_silentFrames = 0;
};
