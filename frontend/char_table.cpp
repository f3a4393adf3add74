#include "frontend/char_table.h"

#include "platform/secure_memory.h"

#include <string_view>
#include <utility>

namespace {

constexpr std::string_view kPrintable =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
static_assert(kPrintable.size() == 94);

} // namespace

CharTable::CharTable()
{
    // Its order decides every passphrase: kept out of swap and core dumps.
    SecureLock(table_.data(), table_.size());
    for (std::size_t i = 0; i < kSize; ++i)
        table_[i] = static_cast<std::uint8_t>(kPrintable[i % kPrintable.size()]);
}

CharTable::~CharTable()
{
    SecureWipeAndUnlock(table_.data(), table_.size());
}

void CharTable::shuffle(std::span<const std::uint8_t, kSize> key)
{
    unsigned j = 0;
    for (std::size_t i = 0; i < kSize; ++i) {
        j = (j + table_[i] + key[i]) % kSize;
        std::swap(table_[i], table_[j]);
    }
}
