#pragma once
// The keyfile generator: a file of random bytes, drawn in requests of 256
// bytes and one request for the remainder.

#include "cli/random_source.h"

#include <cstdint>
#include <string>

inline constexpr std::uint32_t MinKeyfileSize = 64;
inline constexpr std::uint32_t MaxKeyfileSize = 16384;

enum class KeyfileResult {
    Ok,
    RandomFailed, // "Can not generate random bytes!"
    CannotCreate, // "Can not create keyfile!"
};

// Creates or replaces `path` with mode 0600: it is key material. On a
// failure an incomplete regular file is removed, so that no file shorter
// than asked for is left to be taken for a keyfile.
KeyfileResult WriteKeyfile(const std::string& path, std::uint32_t size, RandomSource random);
