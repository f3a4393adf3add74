#include "common/char_table.h"

#include "platform/locked_buffer.h"

#include <cstring>

// Its order decides every passphrase: kept out of swap and core dumps.
CharTable::CharTable() : table_(kSize)
{
    std::uint8_t sequence[94];
    std::size_t length = 0;
    for (int c = 'A'; c <= 'Z'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = 'a'; c <= 'z'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = '0'; c <= '9'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = 33; c <= 126; ++c) {
        const bool alphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alphanumeric)
            sequence[length++] = static_cast<std::uint8_t>(c);
    }
    for (std::size_t i = 0; i < kSize; ++i)
        table_[i] = sequence[i % length];
}

bool CharTable::Shuffle(RandomSource random)
{
    LockedBuffer<std::uint8_t> key(kSize);
    if (random(key.data(), static_cast<std::uint32_t>(key.size())) != 0)
        return false;
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < kSize; ++i) {
        j = static_cast<std::uint8_t>(j + table_[i] + key[i]);
        std::swap(table_[i], table_[j]);
    }
    return true;
}

bool CharTable::Generate(RandomSource random, std::size_t length, char* out) const
{
    if (length < MinPassphraseLength || length > MaxPassphraseLength)
        return false;
    LockedBuffer<std::uint8_t> choice(MaxPassphraseLength);
    if (random(choice.data(), static_cast<std::uint32_t>(choice.size())) != 0)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>(table_[choice[i]]);
    return true;
}
