#include "slice/sampleexactplan.h"

#include <algorithm>
#include <cmath>

#include "mp3/cheapmp3.h"
#include "vbrrepair/bigendian.h"
#include "vbrrepair/frameheader.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/xingframe.h"

namespace {

// Samples a decoder outputs before the first encoded one; decoders that honour a LAME tag
// drop them along with its encoder delay.
constexpr int kDecoderDelay = 529;
// The LAME tag's delay and padding fields are 12 bits each.
constexpr int kLameFieldMaximum = 4095;
constexpr std::size_t kLameFields = 36;
// mpg123 decodes only this many frames before the one holding a stream's first played
// sample, and counts as bit reservoir only the main data of frames it decoded.
constexpr int kDecoderPreframes = 4;
constexpr qint64 kRunBytes = 1 << 20;
constexpr std::uint32_t kPaddingBit = 1u << 9;
constexpr std::uint32_t kNoCrcBit = 1u << 16;

int sideInfoSize(const FrameHeader &h)
{
    return h.xingOffset() - 4;
}

// The frames of the indexed stream, numbered from 0: an MPEG-1 entry is a frame, an MPEG-2
// entry two (the last maybe one).
class SourceFrames
{
public:
    SourceFrames(QFile &source, const CheapMP3 &index)
        : m_source(source)
        , m_index(index)
    {
        m_first = headerAt(index.frameOffset(0));
        m_pairs = m_first.version() != 1;
        m_count = index.frameCount();
        if (m_pairs) {
            const int last = index.frameCount() - 1;
            const bool lone =
                headerAt(index.frameOffset(last)).frameSize() >= index.frameLength(last);
            m_count = 2 * index.frameCount() - (lone ? 1 : 0);
        }
    }

    const FrameHeader &first() const { return m_first; }
    int count() const { return m_count; }
    int samplesPerFrame() const { return m_pairs ? 576 : 1152; }

    // Start and size of frame k.
    SampleExactPlan::Run frame(int k)
    {
        if (!m_pairs)
            return {m_index.frameOffset(k), m_index.frameLength(k)};
        const int entry = k / 2;
        const qint64 offset = m_index.frameOffset(entry);
        const int length = m_index.frameLength(entry);
        const int firstSize = std::clamp(headerAt(offset).frameSize(), 0, length);
        if (k % 2 == 0)
            return {offset, firstSize};
        return {offset + firstSize, length - firstSize};
    }

    QByteArray bytes(const SampleExactPlan::Run &run)
    {
        if (!m_source.seek(run.offset))
            return {};
        return m_source.read(run.size);
    }

private:
    FrameHeader headerAt(qint64 offset)
    {
        if (!m_source.seek(offset))
            return FrameHeader();
        const QByteArray head = m_source.read(4);
        if (head.size() != 4)
            return FrameHeader();
        return FrameHeader(
            readBigEndian32(reinterpret_cast<const unsigned char *>(head.constData())));
    }

    QFile &m_source;
    const CheapMP3 &m_index;
    FrameHeader m_first;
    bool m_pairs = false;
    int m_count = 0;
};

// What the reservoir computation needs of one frame.
struct MainData
{
    int begin = 0;    // main_data_begin: bytes reached back
    QByteArray bytes; // the frame's own main-data area
};

MainData mainDataOf(const QByteArray &frame)
{
    MainData data;
    if (frame.size() < 4)
        return data;
    const auto *b = reinterpret_cast<const unsigned char *>(frame.constData());
    const FrameHeader h(readBigEndian32(b));
    const int at = 4 + (h.hasCrc() ? 2 : 0);
    const int side = sideInfoSize(h);
    if (side <= 0 || at + side > frame.size())
        return data;
    data.begin = h.version() == 1 ? (b[at] << 1) | (b[at + 1] >> 7) : b[at];
    data.bytes = frame.mid(at + side);
    return data;
}

} // namespace

SampleExactPlan::SampleExactPlan() = default;
SampleExactPlan::~SampleExactPlan() = default;
SampleExactPlan::SampleExactPlan(SampleExactPlan &&) noexcept = default;
SampleExactPlan &SampleExactPlan::operator=(SampleExactPlan &&) noexcept = default;

SampleExactPlan SampleExactPlan::make(QFile &source, const CheapMP3 &index,
                                      const XingFrame *sourceXing, qint64 startSample,
                                      qint64 endSample)
{
    SampleExactPlan plan;
    if (index.frameCount() == 0) {
        plan.m_error = tr("The MP3 holds no audio frames.");
        return plan;
    }
    SourceFrames frames(source, index);
    const FrameHeader firstHeader = frames.first();
    if (firstHeader.layer() != 3 || sideInfoSize(firstHeader) <= 0) {
        plan.m_error = tr("Only MPEG Layer III can be cut to the sample.");
        return plan;
    }
    const int spf = frames.samplesPerFrame();
    const int n = frames.count();

    // The source's own LAME tag decides where its played samples sit among the decoded ones.
    const bool sourceLame = sourceXing && sourceXing->lameData.size() >= kLameFields;
    qint64 offset = 0;
    qint64 played = qint64{n} * spf;
    if (sourceLame) {
        const int delay = sourceXing->encoderDelay();
        const int padding = sourceXing->encoderPadding();
        offset = delay + kDecoderDelay;
        played = std::max<qint64>(0, played - delay - padding);
    }
    if (endSample < 0 || endSample > played)
        endSample = played;
    if (startSample < 0 || startSample >= endSample) {
        plan.m_error = tr("The track holds no audio samples.");
        return plan;
    }

    // Decoded positions of the first and one-past-last sample; one frame of overlap before
    // the first (two short MPEG-2 frames).
    const qint64 p = startSample + offset;
    const qint64 q = endSample + offset;
    const int f0 = static_cast<int>(std::max<qint64>(0, (p - 1152) / spf));
    const int f1 = static_cast<int>(std::min<qint64>(n, (q + spf - 1) / spf));

    // The reservoir the frames from f0 on reach back into, before f0's own main data. A
    // frame may hold a single byte of main data, so frames are read until none can reach
    // that far: main_data_begin counts at most 511 bytes (255 in MPEG-2).
    const int reach = firstHeader.version() == 1 ? 511 : 255;
    int reservoir = 0;
    if (f0 > 0) {
        int behind = 0;
        for (int k = f0; k < std::min(n, f0 + reach) && behind < reach; ++k) {
            const MainData data = mainDataOf(frames.bytes(frames.frame(k)));
            reservoir = std::max(reservoir, data.begin - behind);
            behind += static_cast<int>(data.bytes.size());
        }
    }
    QByteArray carried;
    for (int k = f0 - 1; k >= std::max(0, f0 - reach) && carried.size() < reservoir; --k)
        carried.prepend(mainDataOf(frames.bytes(frames.frame(k))).bytes);
    carried = carried.right(reservoir);
    carried.prepend(QByteArray(reservoir - carried.size(), '\0'));

    // Silent frames: f0's header, no padding, no CRC, side information all zero but for the
    // main_data_begin that chains the carried bytes from one to the next.
    const QByteArray firstBytes = frames.bytes(frames.frame(f0));
    if (firstBytes.size() < 4) {
        plan.m_error = tr("Cannot read the MP3: %1").arg(source.errorString());
        return plan;
    }
    const std::uint32_t f0Value =
        readBigEndian32(reinterpret_cast<const unsigned char *>(firstBytes.constData()));
    const FrameHeader base((f0Value & ~kPaddingBit) | kNoCrcBit);
    const int side = sideInfoSize(base);
    const auto roomOf = [side](const FrameHeader &h) { return h.frameSize() - 4 - side; };
    const qint64 overlap = p - qint64{f0} * spf;
    const auto countOf = [&](const FrameHeader &h) {
        const int room = roomOf(h);
        int count = room > 0 ? (reservoir + room - 1) / room : 0;
        // Once a LAME tag is there, decoders drop their own delay: the track needs that much.
        if (count == 0 && overlap < kDecoderDelay)
            count = 1;
        return count;
    };
    // mpg123 skips to the frame holding the first played sample less its preframes, so only
    // silent frames among those may carry the reservoir; their samples must fit in the
    // encoder delay.
    const auto fits = [&](const FrameHeader &h) {
        const int count = countOf(h);
        return count <= kDecoderPreframes - overlap / spf
            && count * spf + overlap - kDecoderDelay <= kLameFieldMaximum;
    };
    // A stream of one bitrate keeps it where it can, for its tracks to stay of one bitrate
    // under an Info frame; otherwise a silent frame takes the bitrate that holds the
    // reservoir at once, and the track is announced as of varying bitrate.
    FrameHeader silent = base;
    if (index.bitrateVaries() || !fits(silent)) {
        while (roomOf(silent) < reservoir && silent.increaseBitrate()) { }
    }
    const int room = roomOf(silent);
    if (room <= 0) {
        plan.m_error = tr("The MP3's frames hold no audio data.");
        return plan;
    }
    const int silentCount = countOf(silent);
    if (!fits(silent)) {
        plan.m_error = tr("Its start needs %1 silent frames to carry the bit reservoir, more "
                          "than decoders read ahead or the encoder delay can skip.")
                           .arg(silentCount);
        return plan;
    }
    const QByteArray stream = QByteArray(silentCount * room - reservoir, '\0') + carried;
    for (int k = 0; k < silentCount; ++k) {
        const int back = std::max(0, k * room - (silentCount * room - reservoir));
        QByteArray frame(4 + side, '\0');
        storeBigEndian32(reinterpret_cast<unsigned char *>(frame.data()), silent.value());
        if (silent.version() == 1) {
            frame[4] = static_cast<char>(back >> 1);
            frame[5] = static_cast<char>((back & 1) << 7);
        } else {
            frame[4] = static_cast<char>(back);
        }
        plan.m_lead += frame + stream.mid(k * room, room);
    }
    plan.m_silentFrames = silentCount;

    const qint64 lead = qint64{silentCount} * spf + overlap;
    const qint64 frameCount = silentCount + f1 - f0;
    const qint64 delay = lead - kDecoderDelay;
    const qint64 padding = frameCount * spf - (lead + (q - p)) + kDecoderDelay;
    if (padding < 0 || padding > kLameFieldMaximum) {
        plan.m_error = tr("The track's end cannot be marked in its LAME tag.");
        return plan;
    }
    plan.m_delay = static_cast<int>(delay);
    plan.m_padding = static_cast<int>(padding);

    // The frames copied as they are, in runs of contiguous bytes.
    for (int k = f0; k < f1; ++k) {
        const Run frame = frames.frame(k);
        if (!plan.m_runs.empty()) {
            Run &run = plan.m_runs.back();
            if (run.offset + run.size == frame.offset && run.size + frame.size <= kRunBytes) {
                run.size += frame.size;
                continue;
            }
        }
        plan.m_runs.push_back(frame);
    }

    // The header frame: the source's LAME data, or a fresh LAME tag, at the smallest bitrate
    // from f0's that holds it.
    auto header = std::make_unique<XingFrame>(base);
    RepairSettings settings;
    try {
        header->takeLameSource(sourceLame ? sourceXing : nullptr, settings);
        if (!sourceLame) {
            header->lameData.assign(kLameFields, 0);
            std::copy_n("LAME3.100", 9, header->lameData.begin());
        }
        header->lameData.resize(kLameFields);
        // The quality field is always written, so its flag goes with it.
        header->flags |= 8;
        header->lameTagValid = true;
        header->repairLameTag = true;
        // A stream of one bitrate is announced as such.
        header->namedInfo =
            !index.bitrateVaries() && (silentCount == 0 || silent.bitrate() == base.bitrate());
        header->fitHeader(settings);
    } catch (const char *) {
        plan.m_error = tr("No frame of this stream can hold its LAME tag.");
        return plan;
    }
    plan.m_header = std::move(header);
    return plan;
}

int SampleExactPlan::headerSize() const
{
    return m_header ? m_header->size() : 0;
}

std::vector<unsigned char> SampleExactPlan::headerFrame(
    const std::vector<std::uint64_t> &frameSizes, std::uint16_t musicCrc)
{
    if (!m_header)
        return {};
    XingFrame &header = *m_header;
    RepairSettings settings;
    try {
        header.fillStream(frameSizes, musicCrc, settings);
        header.setEncoderDelayAndPadding(m_delay, m_padding);
        return header.serialized();
    } catch (const char *) {
        return {};
    }
}
