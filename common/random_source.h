#pragma once
// Where the generators draw random bytes from: IQ_RndGetBytes in the
// programs, a recording stand-in in the tests. 0 is success.

#include <cstdint>

using RandomSource = std::uint32_t (*)(void* buffer, std::uint32_t length);
