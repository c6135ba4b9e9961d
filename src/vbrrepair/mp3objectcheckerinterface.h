#pragma once

#include "vbrrepair/checkercontext.h"
#include "vbrrepair/mp3object.h"

#include <memory>

// Decides whether an object starts at the input's read position, without consuming input.
class Mp3ObjectCheckerInterface
{
public:
    virtual std::unique_ptr<Mp3Object> check(CheckerContext &context) = 0;
    virtual ~Mp3ObjectCheckerInterface() = default;
};
