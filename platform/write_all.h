#pragma once
// All-or-nothing write to a descriptor.

#include <cstddef>

// Retries interrupted and partial writes; false on any error or on a write
// that makes no progress.
bool WriteAll(int fd, const void* data, std::size_t length);
