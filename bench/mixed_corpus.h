#pragma once
// A reproducible mixed input from what a Debian machine has: documentation
// text, C headers, shared libraries, files that are already compressed, and
// random bytes, in fixed shares and in sorted path order. Machines differ,
// so only figures from one run compare.

#include <cstddef>
#include <cstdint>
#include <vector>

// `length` bytes of the mix; sources that come up short are filled from the
// random share.
std::vector<std::uint8_t> MixedCorpus(std::size_t length);
