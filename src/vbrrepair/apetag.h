#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// An APE tag found by its header; headerless (footer-only) tags are left as unknown data.
class ApeTag final : public Mp3Object
{
public:
    ApeTag(std::uint64_t filePosition, std::uint64_t size);

    Mp3ObjectType type() const override;
    std::uint64_t size() const override;

    static std::unique_ptr<Mp3Object> check(CheckerContext &context);

private:
    std::uint64_t m_size;
};
