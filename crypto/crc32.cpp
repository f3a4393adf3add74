#include "crypto/crc32.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t value = n;
        for (int bit = 0; bit < 8; ++bit)
            value = (value >> 1) ^ ((value & 1U) != 0 ? 0xEDB88320U : 0U);
        table[n] = value;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

} // namespace

std::uint32_t Crc32Update(std::uint32_t value, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < length; ++i)
        value = (value >> 8) ^ CrcTable[(value ^ bytes[i]) & 0xFFU];
    return value;
}
