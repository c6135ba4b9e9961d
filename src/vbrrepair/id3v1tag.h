#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// An ID3v1 tag: "TAG" and 128 bytes in all. Located, never parsed.
class Id3v1Tag final : public Mp3Object
{
public:
    Id3v1Tag(std::uint64_t filePosition, std::uint64_t size);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;

    static std::unique_ptr<Mp3Object> check(CheckerContext &context);

private:
    std::uint64_t m_size;
};
