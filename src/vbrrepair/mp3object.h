#pragma once

#include <cstdint>
#include <ostream>

class FileBuffer;

enum class Mp3ObjectType : int {
    UnknownDataObject = 0,
    Mp3Frame = 1,
    XingFrame = 2,
    VbriFrame = 3,
    Id3v1Tag = 4,
    Id3v2Tag = 5,
    Lyrics3Tag = 6,
    ApeTag = 7,
};

constexpr bool isFrameType(Mp3ObjectType type)
{
    return type >= Mp3ObjectType::Mp3Frame && type <= Mp3ObjectType::VbriFrame;
}
constexpr bool isTagType(Mp3ObjectType type)
{
    return type >= Mp3ObjectType::Id3v1Tag && type <= Mp3ObjectType::ApeTag;
}
constexpr bool isUnknownType(Mp3ObjectType type)
{
    return type == Mp3ObjectType::UnknownDataObject;
}

// One block of an MP3 file: a frame, a tag or a run of unrecognised bytes. Objects found
// in the input know where they start and copy themselves from it.
class Mp3Object
{
public:
    Mp3Object() = default;
    explicit Mp3Object(std::uint64_t filePosition);
    Mp3Object(const Mp3Object &) = delete;
    Mp3Object &operator=(const Mp3Object &) = delete;
    virtual ~Mp3Object();

    virtual Mp3ObjectType type() const = 0;
    virtual std::uint64_t size() const = 0;
    virtual bool hasFilePosition() const;
    virtual std::uint64_t filePosition() const;
    virtual std::uint64_t endPosition() const;
    // Copies size() bytes from the input at filePosition(); writes nothing without one.
    virtual void write(FileBuffer &input, std::ostream &output) const;

private:
    bool m_hasFilePosition = false;
    std::uint64_t m_filePosition = 0;
};
