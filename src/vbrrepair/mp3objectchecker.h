#pragma once

#include "vbrrepair/mp3objectcheckerinterface.h"

// Stateless adapter from a class's static recogniser T::check to the checker interface.
template<typename T>
class Mp3ObjectChecker final : public Mp3ObjectCheckerInterface
{
public:
    std::unique_ptr<Mp3Object> check(CheckerContext &context) override { return T::check(context); }
};
