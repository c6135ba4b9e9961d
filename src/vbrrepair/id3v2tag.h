#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// An ID3v2 tag: 10-byte header, syncsafe body size, optional 10-byte footer.
class Id3v2Tag final : public Mp3Object
{
public:
    Id3v2Tag(std::uint64_t filePosition, std::uint64_t size);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;

    static std::unique_ptr<Mp3Object> check(CheckerContext &context);

private:
    std::uint64_t m_size;
};
