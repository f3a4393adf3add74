#pragma once
// CRC-32/ISO-HDLC (reflected 0xEDB88320), the checksum of zlib and PNG.

#include <cstddef>
#include <cstdint>

// Neither presets nor complements: start from 0xFFFFFFFF and complement the
// result for the standard value.
std::uint32_t Crc32Update(std::uint32_t value, const void* data, std::size_t length);
