#include "vbrrepair/xingframe.h"

#include "vbrrepair/bigendian.h"
#include "vbrrepair/crc16.h"
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"
#include "vbrrepair/repairsettings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

enum XingFlag : std::uint32_t {
    FramesFlag = 1,
    BytesFlag = 2,
    TocFlag = 4,
    QualityFlag = 8
};

// The Xing fields with every flag set take 120 bytes from the tag on.
constexpr int kFullXingLength = 120;
// LAME data longer than this is padding and must be zero.
constexpr std::size_t kLameDataMaximum = 228;

// Offsets inside the LAME extension, counted from its "LAME" tag.
constexpr std::size_t kLameDelayPadding = 21;
constexpr std::size_t kLameMusicLength = 28;
constexpr std::size_t kLameMusicCrc = 32;
constexpr std::size_t kLameTagCrc = 34;
constexpr std::size_t kLameFieldsLength = 36;

// The only layout the unmended CRC rewriting knows: MPEG-1 stereo, "LAME" at 156.
constexpr std::size_t kClassicLameStart = 156;
constexpr std::size_t kClassicMusicCrc = 188;
constexpr std::size_t kClassicTagCrc = 190;

std::uint32_t lameLocation(int xingOffset, std::uint32_t flags)
{
    std::uint32_t l = static_cast<std::uint32_t>(xingOffset) + 8;
    if (flags & FramesFlag)
        l += 4;
    if (flags & BytesFlag)
        l += 4;
    if (flags & TocFlag)
        l += 100;
    if (flags & QualityFlag)
        l += 4;
    return l;
}

bool hasNonZeroPadding(const std::vector<unsigned char> &lame)
{
    return lame.size() > kLameDataMaximum
        && std::any_of(lame.begin() + kLameDataMaximum, lame.end(),
                       [](unsigned char b) { return b != 0; });
}

void putBigEndian32(std::vector<unsigned char> &buffer, std::uint32_t value)
{
    buffer.resize(buffer.size() + 4);
    storeBigEndian32(buffer.data() + buffer.size() - 4, value);
}

// Offsets inside the LAME extension that describe the whole encoding, not a part of it.
constexpr std::size_t kLameRevision = 9;
constexpr std::size_t kLamePeak = 11;
constexpr std::size_t kLameTrackGain = 15;
constexpr std::size_t kLameGainEnd = 17;

// A LAME tag is trusted only when its own CRC (over the frame up to it) holds and its
// revision is one LAME has written.
bool isValidLameTag(const unsigned char *frame, std::size_t lameStart,
                    const std::vector<unsigned char> &lame)
{
    if (lame.size() < kLameFieldsLength || (lame[kLameRevision] >> 4) > 1)
        return false;
    const std::size_t at = lameStart + kLameTagCrc;
    return Crc16::lame(frame, at) == ((std::uint32_t{frame[at]} << 8) | frame[at + 1]);
}

enum class Walk {
    Ok,
    NotXing,
    LongLame
};

// The one walk of the Xing fields, over the bytes of the whole frame (`size` of them), the
// tag at `offset`. Fields that would run past the frame make it no Xing frame.
Walk walkFields(const unsigned char *b, std::size_t size, std::size_t offset, XingFrame &frame)
{
    if (offset + 8 > size)
        return Walk::NotXing;
    frame.flags = readBigEndian32(b + offset + 4);
    const std::size_t lame = lameLocation(static_cast<int>(offset), frame.flags);
    if (lame > size)
        return Walk::NotXing;
    std::size_t at = offset + 8;
    if (frame.flags & FramesFlag) {
        frame.frames = readBigEndian32(b + at);
        at += 4;
    }
    if (frame.flags & BytesFlag) {
        frame.bytes = readBigEndian32(b + at);
        at += 4;
    }
    if (frame.flags & TocFlag) {
        frame.toc.assign(b + at, b + at + 100);
        at += 100;
    }
    if (frame.flags & QualityFlag)
        frame.quality = readBigEndian32(b + at);
    // A "LAME" that starts inside the frame but runs past its end is not its extension.
    if (lame + 4 <= size && std::equal(b + lame, b + lame + 4, "LAME")) {
        frame.lameData.assign(b + lame, b + size);
        if (hasNonZeroPadding(frame.lameData))
            return Walk::LongLame;
        frame.lameTagValid = isValidLameTag(b, lame, frame.lameData);
    }
    return Walk::Ok;
}

// LAME CRC over the input bytes of the frame-group objects accepted by `take`, in order;
// the input is left where it was.
template<typename Predicate>
std::uint16_t musicCrcOf(const std::vector<Mp3Object *> &objects, FileBuffer &input, Predicate take)
{
    const std::uint64_t position = input.position();
    std::uint16_t crc = 0;
    std::vector<unsigned char> buffer;
    for (const Mp3Object *object : objects) {
        if (!isFrameType(object->type()) || !object->hasFilePosition() || !take(object))
            continue;
        input.seek(object->filePosition());
        buffer.resize(static_cast<std::size_t>(object->size()));
        input.read(buffer.data(), buffer.size());
        crc = Crc16::lame(buffer.data(), buffer.size(), crc);
    }
    input.seek(position);
    return crc;
}

} // namespace

Mp3ObjectType XingFrame::type() const
{
    return Mp3ObjectType::XingFrame;
}

bool XingFrame::hasLameInfo() const
{
    return !lameData.empty();
}

std::unique_ptr<Mp3Object> XingFrame::check(CheckerContext &context)
{
    FileBuffer &input = context.input;
    const FrameHeader header(input.readBigEndian32(0));
    const int o = header.xingOffset();
    if (o < 0)
        return nullptr;
    const auto offset = static_cast<std::uint64_t>(o);
    if (input.matches("Info", offset))
        throw "The repair engine doesn't currently support Lame 'Info' tags as this is usually "
              "associated with CBR files";
    if (!input.matches("Xing", offset))
        return nullptr;
    // The frame checker has made sure the whole frame is in the file.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max(header.frameSize(), 0)));
    input.readInto(bytes, 0);
    auto frame = std::make_unique<XingFrame>(input.position(), header);
    const Walk walk = walkFields(bytes.data(), bytes.size(), offset, *frame);
    if (walk == Walk::NotXing)
        return nullptr;
    if (lameLocation(o, frame->flags) != offset + kFullXingLength
        && offset + kFullXingLength + 4 <= bytes.size()
        && std::equal(bytes.begin() + kFullXingLength + o, bytes.begin() + kFullXingLength + o + 4,
                      "LAME"))
        throw "Unknown error with LAME info";
    if (walk == Walk::LongLame)
        throw "Unexpectedly long LAME info tag";
    context.feedBack.post(FeedBackInterface::Info,
                          frame->lameData.empty() ? "Found Xing Header Frame"
                                                  : "Found Xing Header Frame with LAME info");
    return frame;
}

std::unique_ptr<XingFrame> XingFrame::fromBytes(const std::vector<unsigned char> &bytes)
{
    if (bytes.size() < 4)
        return nullptr;
    const FrameHeader header(readBigEndian32(bytes.data()));
    const int o = header.xingOffset();
    const int frameSize = header.frameSize();
    if (o < 0 || frameSize <= 0 || static_cast<std::size_t>(frameSize) > bytes.size())
        return nullptr;
    const auto size = static_cast<std::size_t>(frameSize);
    const auto offset = static_cast<std::size_t>(o);
    if (offset + 4 > size
        || (!std::equal(bytes.begin() + o, bytes.begin() + o + 4, "Xing")
            && !std::equal(bytes.begin() + o, bytes.begin() + o + 4, "Info")))
        return nullptr;
    auto frame = std::make_unique<XingFrame>(header);
    if (walkFields(bytes.data(), size, offset, *frame) != Walk::Ok)
        return nullptr;
    return frame;
}

void XingFrame::calculate(const std::vector<Mp3Object *> &objects, const XingFrame *lameSource,
                          const RepairSettings &settings, FileBuffer &input)
{
    calculateWithoutMusicCrc(objects, lameSource, settings, input);
    fillMusicCrc(objects, input);
}

void XingFrame::calculateWithoutMusicCrc(const std::vector<Mp3Object *> &objects,
                                         const XingFrame *lameSource,
                                         const RepairSettings &settings, FileBuffer &input)
{
    takeLameSource(lameSource, settings);
    if (recalculateMusicCrc) {
        musicCrc = musicCrcOf(objects, input, [](const Mp3Object *object) {
            return object->type() != Mp3ObjectType::XingFrame;
        });
    }
    fitHeader(settings);
    std::vector<std::uint64_t> sizes;
    for (const Mp3Object *object : objects) {
        if (isFrameType(object->type()))
            sizes.push_back(object->size());
    }
    fillStream(sizes, 0, settings);
}

void XingFrame::fillMusicCrc(const std::vector<Mp3Object *> &objects, FileBuffer &input)
{
    if (!repairLameTag)
        return;
    const std::uint16_t crc =
        musicCrcOf(objects, input, [this](const Mp3Object *object) { return object != this; });
    storeBigEndian16(lameData.data() + kLameMusicCrc, crc);
}

void XingFrame::takeLameSource(const XingFrame *lameSource, const RepairSettings &settings)
{
    flags = FramesFlag | BytesFlag | TocFlag;
    if (!lameSource)
        return;
    if (lameSource->flags & QualityFlag) {
        flags |= QualityFlag;
        quality = lameSource->quality;
    }
    if (settings.lameInfoMode >= 1) {
        lameData = lameSource->lameData;
        lameTagValid = lameSource->lameTagValid;
    }
    if (settings.repairLameTag) {
        // What does not validate as a LAME tag is copied, never given a fresh CRC.
        repairLameTag = lameTagValid;
    } else {
        recalculateLameCrc = settings.lameInfoMode >= 2;
        recalculateMusicCrc = settings.lameInfoMode >= 3;
    }
}

void XingFrame::fitHeader(const RepairSettings &settings)
{
    if (header().hasCrc()) {
        if (settings.xingCrcMode == 0 || (settings.xingCrcMode == 1 && header().layer() != 3))
            header().removeCrc();
    }
    const int o = header().xingOffset();
    if (o < 0)
        throw "Error Creating Xing Tag";
    const std::uint64_t required =
        static_cast<std::uint64_t>(o) + kFullXingLength + lameData.size();
    while (size() < required) {
        if (!header().increaseBitrate())
            throw "Can't create an Xing Header Big enough to encapsulate the data";
    }
}

void XingFrame::fillStream(const std::vector<std::uint64_t> &frameSizes, std::uint16_t crc,
                           const RepairSettings &settings)
{
    std::vector<std::uint64_t> starts;
    starts.reserve(frameSizes.size());
    std::uint64_t total = 0;
    for (const std::uint64_t frameSize : frameSizes) {
        starts.push_back(total);
        total += frameSize;
    }
    const std::size_t count = starts.size();
    toc.assign(100, 0);
    if (count > 0 && total > 0) {
        for (int i = 0; i < 100; ++i) {
            const auto k = static_cast<std::size_t>(i / 100.0 * static_cast<double>(count));
            const auto entry = static_cast<std::uint64_t>(
                static_cast<double>(starts[k]) / static_cast<double>(total) * 256.0 + 0.5);
            toc[static_cast<std::size_t>(i)] =
                static_cast<unsigned char>(entry >= 256 ? 255 : entry);
        }
    }
    frames = count > 0 ? static_cast<std::uint32_t>(count - 1) : 0;
    bytes = static_cast<std::uint32_t>(total);

    if (!repairLameTag)
        return;
    storeBigEndian32(lameData.data() + kLameMusicLength, static_cast<std::uint32_t>(total));
    storeBigEndian16(lameData.data() + kLameMusicCrc, crc);
    setEncoderDelayAndPadding(settings.keepEncoderDelay ? encoderDelay() : 0,
                              settings.keepEncoderPadding ? encoderPadding() : 0);
    // The peak and the radio (track) gain describe the whole encoding, not this stream; the
    // audiophile (album) gain does describe the album each stream belongs to and stays.
    std::fill(lameData.begin() + kLamePeak, lameData.begin() + kLameGainEnd, 0);
    static_assert(kLameTrackGain > kLamePeak && kLameGainEnd == kLameTrackGain + 2);
}

// Delay: 12 bits from byte 21; padding: the next 12 bits.
int XingFrame::encoderDelay() const
{
    const unsigned char *field = lameData.data() + kLameDelayPadding;
    return (field[0] << 4) | (field[1] >> 4);
}

int XingFrame::encoderPadding() const
{
    const unsigned char *field = lameData.data() + kLameDelayPadding;
    return ((field[1] & 0x0F) << 8) | field[2];
}

void XingFrame::setEncoderDelayAndPadding(int delay, int padding)
{
    unsigned char *field = lameData.data() + kLameDelayPadding;
    field[0] = static_cast<unsigned char>(delay >> 4);
    field[1] = static_cast<unsigned char>(((delay & 0x0F) << 4) | ((padding >> 8) & 0x0F));
    field[2] = static_cast<unsigned char>(padding & 0xFF);
}

bool XingFrame::isEquivalent(const XingFrame &other) const
{
    if (frames != other.frames || flags != other.flags || quality != other.quality)
        return false;
    const auto ownStream = static_cast<std::int64_t>(bytes) - static_cast<std::int64_t>(size());
    const auto otherStream =
        static_cast<std::int64_t>(other.bytes) - static_cast<std::int64_t>(other.size());
    if (ownStream != otherStream || toc.size() != other.toc.size())
        return false;
    for (std::size_t i = 0; i < toc.size(); ++i) {
        if (std::abs(int{toc[i]} - int{other.toc[i]}) > 2)
            return false;
    }
    return true;
}

void XingFrame::write(FileBuffer &input, std::ostream &output) const
{
    if (hasFilePosition()) {
        Mp3Object::write(input, output);
        return;
    }
    const std::vector<unsigned char> buffer = serialized();
    output.write(reinterpret_cast<const char *>(buffer.data()),
                 static_cast<std::streamsize>(buffer.size()));
}

std::vector<unsigned char> XingFrame::serialized() const
{
    const int o = header().xingOffset();
    if (o < 0)
        throw "Error Creating Xing Tag";
    std::vector<unsigned char> buffer;
    buffer.reserve(static_cast<std::size_t>(size()));
    putBigEndian32(buffer, header().value());
    buffer.resize(static_cast<std::size_t>(o), 0);
    const char *name = namedInfo ? "Info" : "Xing";
    buffer.insert(buffer.end(), name, name + 4);
    putBigEndian32(buffer, flags);
    putBigEndian32(buffer, frames);
    putBigEndian32(buffer, bytes);
    buffer.insert(buffer.end(), toc.begin(), toc.end());
    putBigEndian32(buffer, quality);

    if (header().hasCrc()) {
        if (header().layer() != 3)
            throw "Xing Frame Crc update not supported on this type of mpeg audio file, please "
                  "alter the options";
        // Bytes 2-3 of the header, then the side information from byte 6 on.
        std::uint16_t crc = Crc16::frame(buffer.data() + 2, 2);
        crc = Crc16::frame(buffer.data() + 6, static_cast<std::size_t>(o) - 4, crc);
        storeBigEndian16(buffer.data() + 4, crc);
    }

    const std::size_t lameStart = buffer.size();
    buffer.insert(buffer.end(), lameData.begin(), lameData.end());

    if (recalculateMusicCrc) {
        if (lameStart != kClassicLameStart)
            throw "This type of Lame Info is unsupported, Recalculation of LameCrc cannot be "
                  "performed. Try turrning off Lame CRC recalculation or logging a bug.";
        if (musicCrc > 0xFFFFu)
            throw "Error Caclulation Lame Music CRC";
        if (buffer.size() < kClassicMusicCrc + 2)
            throw "Error Calculating Lame Crc";
        storeBigEndian16(buffer.data() + kClassicMusicCrc, musicCrc);
    }
    if (recalculateLameCrc) {
        if (lameStart != kClassicLameStart)
            throw "This type of Lame Info is unsupported, Recalculation of LameCrc cannot be "
                  "performed. Try turrning off Lame CRC recalculation or logging a bug.";
        if (buffer.size() < kClassicTagCrc + 2)
            throw "Error Calculating Lame Crc";
        storeBigEndian16(buffer.data() + kClassicTagCrc,
                         Crc16::lame(buffer.data(), kClassicTagCrc));
    }
    if (repairLameTag) {
        // Last, so that it covers the frame CRC and the updated music fields.
        const std::size_t at = lameStart + kLameTagCrc;
        storeBigEndian16(buffer.data() + at, Crc16::lame(buffer.data(), at));
    }

    if (size() < buffer.size())
        throw "Internal error with Xing/Lame writing tag";
    buffer.resize(static_cast<std::size_t>(size()), 0);
    return buffer;
}
