#pragma once

#include "vbrrepair/mp3frame.h"

#include <vector>

class FileBuffer;
class RepairSettings;

// A frame holding a Xing header, maybe with a LAME extension. Found in the input it is
// copied as it is; built by the engine (no file position) it is filled by calculate() and
// written from its fields. Errors are raised as message texts.
class XingFrame final : public Mp3Frame
{
public:
    using Mp3Frame::Mp3Frame;

    Mp3ObjectType type() const override;
    bool hasLameInfo() const override;
    void write(FileBuffer &input, std::ostream &output) const override;

    // Fills this new frame for the output list `objects`, which already holds it in place.
    void calculate(const std::vector<Mp3Object *> &objects, const XingFrame *lameSource,
                   const RepairSettings &settings, FileBuffer &input);
    // calculate() without the music CRC of a repaired LAME tag, which reads every frame;
    // fillMusicCrc() adds it.
    void calculateWithoutMusicCrc(const std::vector<Mp3Object *> &objects,
                                  const XingFrame *lameSource, const RepairSettings &settings,
                                  FileBuffer &input);
    void fillMusicCrc(const std::vector<Mp3Object *> &objects, FileBuffer &input);
    bool isEquivalent(const XingFrame &other) const;

    // The steps of calculate(), for a writer that knows the stream without reading it back:
    // take the quality and LAME data of the source, raise the bitrate until everything fits,
    // then fill counts and seek table from the sizes of every frame of the stream (this one
    // included, in order) and make the LAME data true for a stream whose audio frames have
    // the LAME music CRC `musicCrc`.
    void takeLameSource(const XingFrame *lameSource, const RepairSettings &settings);
    void fitHeader(const RepairSettings &settings);
    void fillStream(const std::vector<std::uint64_t> &frameSizes, std::uint16_t musicCrc,
                    const RepairSettings &settings);
    // The frame as it is written (a new frame only).
    std::vector<unsigned char> serialized() const;
    // The LAME tag's encoder delay and padding in samples, 12 bits each; the LAME data must
    // reach past them.
    int encoderDelay() const;
    int encoderPadding() const;
    void setEncoderDelayAndPadding(int delay, int padding);

    // Recognises a Xing frame at the read position, once a complete frame is known there.
    static std::unique_ptr<Mp3Object> check(CheckerContext &context);
    // Parses a Xing/Info frame handed over as bytes; nullptr when malformed.
    static std::unique_ptr<XingFrame> fromBytes(const std::vector<unsigned char> &bytes);

    std::vector<unsigned char> toc;
    std::uint32_t flags = 0;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    std::uint32_t quality = 0;
    std::vector<unsigned char> lameData;
    bool recalculateLameCrc = false;
    bool recalculateMusicCrc = false;
    std::uint32_t musicCrc = 0;
    // The LAME data was made true for the new stream; its tag CRC is written last.
    bool repairLameTag = false;
    // The LAME data is a LAME tag whose CRC and revision check out; only such a tag is
    // rewritten for a new stream, anything else is copied as it is.
    bool lameTagValid = false;
    // A new frame is written as "Info", the name players know for a stream of one bitrate,
    // instead of "Xing".
    bool namedInfo = false;
};
