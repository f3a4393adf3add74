#pragma once
// The byte values each wipe method writes, one value per pass over the
// whole file.

#include <cstddef>
#include <cstdint>
#include <span>

enum class WipeMethod : std::uint32_t {
    Fast = 0,
    Dod522022M = 1,
    Gutmann = 2,
};
inline constexpr std::uint32_t WipeMethodCount = 3;

// Random values a Gutmann repetition draws before its first pass.
inline constexpr std::size_t WipeRandomValueCount = 8;

struct WipePass {
    // True: `value` is the index of one of the repetition's random values.
    bool random;
    std::uint8_t value;
};

// The passes of one repetition; `method` must be below WipeMethodCount.
std::span<const WipePass> WipePassSequence(WipeMethod method);

bool MethodDrawsRandomValues(WipeMethod method);
