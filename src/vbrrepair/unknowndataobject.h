#pragma once

#include "vbrrepair/mp3object.h"

// A run of input bytes that no recogniser accepted; copied to the output unchanged.
class UnknownDataObject final : public Mp3Object
{
public:
    UnknownDataObject(std::uint64_t filePosition, std::uint64_t size);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;

private:
    std::uint64_t m_size;
};
