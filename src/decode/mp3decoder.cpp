#include "decode/mp3decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cctype>

#include "mp3/cheapmp3.h"
#include "vbrrepair/xingframe.h"

using namespace Qt::StringLiterals;

namespace {

// main_data_begin reaches back at most this many bytes (9 bits in MPEG-1, 8 in MPEG-2).
constexpr qint64 kReservoirBytes = 511;
// Header, CRC and side information of an entry hold no main data; this many bytes or more.
constexpr int kEntryOverhead = 42;
// Offset of the 12-bit delay and 12-bit padding fields inside the LAME data.
constexpr std::size_t kLameDelayPadding = 21;

QString mpg123Error(mpg123_handle *handle, int code)
{
    return QString::fromUtf8(handle ? mpg123_strerror(handle) : mpg123_plain_strerror(code));
}

} // namespace

Mp3Decoder::Mp3Decoder(const CheapMP3 &index)
    : m_index(index)
{
}

Mp3Decoder::~Mp3Decoder()
{
    if (m_handle)
        mpg123_delete(m_handle);
}

bool Mp3Decoder::open(QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (m_index.frameCount() == 0 || m_index.sampleRate() <= 0)
        return fail(u"no MPEG audio frames"_s);
    m_file.setFileName(m_index.fileName());
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        return fail(m_file.errorString());
    readLameTag();
    if (m_handle)
        return true;

    int code = MPG123_OK;
    m_handle = mpg123_new(nullptr, &code);
    if (!m_handle)
        return fail(mpg123Error(nullptr, code));
    // The delays are dropped here, by position, so the library must not trim on its own.
    mpg123_param(m_handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.);
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.);
    mpg123_format_none(m_handle);
    code =
        mpg123_format(m_handle, m_index.sampleRate(),
                      m_index.channels() == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (code != MPG123_OK) {
        const QString reason = mpg123Error(m_handle, code);
        mpg123_delete(m_handle);
        m_handle = nullptr;
        return fail(reason);
    }
    return true;
}

int Mp3Decoder::sampleRate() const
{
    return m_index.sampleRate();
}

int Mp3Decoder::channels() const
{
    return m_index.channels() == 1 ? 1 : 2;
}

qint64 Mp3Decoder::sampleCount() const
{
    const qint64 all = qint64(m_index.frameCount()) * CheapMP3::SAMPLES_PER_ENTRY;
    // The padding counts from the encoder's end, which the decoder's delay shifts as well.
    const int trailing = std::max(0, m_encoderPadding - DECODER_DELAY);
    return std::max<qint64>(0, all - leadingSamples() - trailing);
}

bool Mp3Decoder::readLameTag()
{
    m_encoderDelay = 0;
    m_encoderPadding = 0;
    if (m_index.infoFrameLength() <= 0 || !m_file.seek(m_index.infoFrameOffset()))
        return false;
    const QByteArray bytes = m_file.read(m_index.infoFrameLength());
    const auto frame =
        XingFrame::fromBytes(std::vector<unsigned char>(bytes.cbegin(), bytes.cend()));
    if (!frame || frame->lameData.size() < kLameDelayPadding + 3)
        return false;
    // A LAME tag, or one written in its layout by another encoder, names its encoder first.
    const auto *lame = frame->lameData.data();
    if (!std::all_of(lame, lame + 4, [](unsigned char c) { return std::isalpha(c) != 0; }))
        return false;
    const unsigned char *field = lame + kLameDelayPadding;
    m_encoderDelay = (field[0] << 4) | (field[1] >> 4);
    m_encoderPadding = ((field[1] & 0x0F) << 8) | field[2];
    return true;
}

int Mp3Decoder::preroll(int entry) const
{
    // One entry for the overlap, then as many as hold the reservoir of that one.
    int first = entry - 1;
    qint64 bytes = 0;
    while (first > 0 && bytes < kReservoirBytes) {
        --first;
        bytes += std::max(0, m_index.frameLength(first) - kEntryOverhead);
    }
    return entry - std::max(first, 0);
}

bool Mp3Decoder::decode(qint64 first, qint64 count, std::vector<float> *pcm, QString *error)
{
    pcm->clear();
    if (!m_handle && !open(error))
        return false;
    first = std::clamp<qint64>(first, 0, sampleCount());
    const qint64 last = std::clamp<qint64>(first + count, first, sampleCount());
    if (first == last)
        return true;

    // In index samples, where the decoder's output starts at the first entry fed.
    const qint64 from = first + leadingSamples();
    const qint64 to = last + leadingSamples();
    const int spanFirst = static_cast<int>(from / CheapMP3::SAMPLES_PER_ENTRY);
    const int feedFirst = spanFirst - preroll(spanFirst);
    // One entry more than needed: the decoder may wait for the next header.
    const int feedEnd =
        std::min<qint64>(m_index.frameCount(),
                         (to + CheapMP3::SAMPLES_PER_ENTRY - 1) / CheapMP3::SAMPLES_PER_ENTRY + 1);

    auto fail = [&](const QString &reason) {
        pcm->clear();
        if (error)
            *error = reason;
        return false;
    };
    const qint64 byteFirst = m_index.frameOffset(feedFirst);
    const qint64 byteEnd = m_index.frameOffset(feedEnd - 1) + m_index.frameLength(feedEnd - 1);
    if (!m_file.seek(byteFirst))
        return fail(m_file.errorString());
    m_bytes.resize(byteEnd - byteFirst);
    if (m_file.read(m_bytes.data(), m_bytes.size()) != m_bytes.size())
        return fail(u"cannot read %1: %2"_s.arg(m_file.fileName(), m_file.errorString()));

    // A fresh stream forgets the reservoir and overlap of the previous call.
    int code = mpg123_open_feed(m_handle);
    if (code != MPG123_OK)
        return fail(mpg123Error(m_handle, code));
    const int channelCount = channels();
    // Frames the decoder could not produce stay silent, the others keep their place.
    pcm->assign(static_cast<std::size_t>((last - first) * channelCount), 0.f);
    qint64 reached = from;
    const qint64 origin = qint64(feedFirst) * CheapMP3::SAMPLES_PER_ENTRY;
    const int frameSamples = m_index.sampleRate() < 32000 ? 576 : 1152;
    for (int entry = feedFirst; entry < feedEnd; ++entry) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(m_bytes.constData())
            + (m_index.frameOffset(entry) - byteFirst);
        code = mpg123_feed(m_handle, bytes, static_cast<std::size_t>(m_index.frameLength(entry)));
        if (code != MPG123_OK)
            return fail(mpg123Error(m_handle, code));
        for (;;) {
            off_t frame = 0;
            unsigned char *audio = nullptr;
            std::size_t size = 0;
            code = mpg123_decode_frame(m_handle, &frame, &audio, &size);
            if (code == MPG123_NEED_MORE)
                break;
            if (code == MPG123_NEW_FORMAT)
                continue;
            if (code != MPG123_OK)
                return fail(mpg123Error(m_handle, code));
            // The frame number places the output even when the decoder skipped a frame.
            const qint64 at = origin + qint64(frame) * frameSamples;
            const auto *samples = reinterpret_cast<const float *>(audio);
            const qint64 n = static_cast<qint64>(size / sizeof(float)) / channelCount;
            const qint64 keepFirst = std::max(at, from);
            const qint64 keepEnd = std::min(at + n, to);
            if (keepFirst < keepEnd)
                std::copy(samples + (keepFirst - at) * channelCount,
                          samples + (keepEnd - at) * channelCount,
                          pcm->begin() + (keepFirst - from) * channelCount);
            reached = std::max(reached, at + n);
        }
        if (reached >= to)
            break;
    }
    return true;
}
