#include "crypto/crc32.h"

#include "crypto/byte_order.h"

#include <array>

namespace {

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

// Table 0 is the byte-at-a-time table; table k advances a byte's
// contribution past k more zero bytes, so that eight bytes are folded in
// with eight independent lookups (slicing-by-8).
constexpr CrcTables MakeCrcTables()
{
    CrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t value = n;
        for (int bit = 0; bit < 8; ++bit)
            value = (value >> 1) ^ ((value & 1U) != 0 ? 0xEDB88320U : 0U);
        tables[0][n] = value;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::uint32_t n = 0; n < 256; ++n)
            tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFFU];
    }
    return tables;
}

constexpr CrcTables Tables = MakeCrcTables();

} // namespace

std::uint32_t Crc32Update(std::uint32_t value, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (; length >= 8; length -= 8, bytes += 8) {
        const std::uint32_t low = Load32Le(bytes) ^ value;
        const std::uint32_t high = Load32Le(bytes + 4);
        value = Tables[7][low & 0xFFU] ^ Tables[6][(low >> 8) & 0xFFU] ^ Tables[5][(low >> 16) & 0xFFU] ^
                Tables[4][low >> 24] ^ Tables[3][high & 0xFFU] ^ Tables[2][(high >> 8) & 0xFFU] ^
                Tables[1][(high >> 16) & 0xFFU] ^ Tables[0][high >> 24];
    }
    for (; length > 0; --length, ++bytes)
        value = (value >> 8) ^ Tables[0][(value ^ *bytes) & 0xFFU];
    return value;
}
