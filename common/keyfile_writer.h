#pragma once
// The keyfile generator: a file of random bytes, drawn in requests of 256
// bytes and one request for the remainder.

#include "common/random_source.h"

#include <cstdint>
#include <string>

inline constexpr std::uint32_t MinKeyfileSize = 64;
inline constexpr std::uint32_t MaxKeyfileSize = 16384;

enum class KeyfileResult {
    Ok,
    RandomFailed, // "Can not generate random bytes!"
    CannotCreate, // "Can not create keyfile!"
};

// Creates or replaces `path` with mode 0600: it is key material. The bytes
// go to a temporary file that is renamed onto `path` only when complete, so
// a failure leaves whatever had the name as it was.
KeyfileResult WriteKeyfile(const std::string& path, std::uint32_t size, RandomSource random);
