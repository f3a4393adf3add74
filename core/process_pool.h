#pragma once
// The process's one random pool, seeded when the library is loaded.

#include "ivqa.h"

#include <cstdint>

// IQ_OK or IQ_RANDOM_ERROR; on an error the buffer must not be used.
CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length);
