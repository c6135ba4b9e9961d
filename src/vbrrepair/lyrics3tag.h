#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// A Lyrics3 v1 or v2 tag, from "LYRICSBEGIN" to the end of its end marker.
class Lyrics3Tag final : public Mp3Object
{
public:
    Lyrics3Tag(std::uint64_t filePosition, std::uint64_t size);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;

    static std::unique_ptr<Mp3Object> check(CheckerContext &context);

private:
    std::uint64_t m_size;
};
