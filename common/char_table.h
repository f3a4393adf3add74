#pragma once
// The passphrase generator's CharTable: 256 printable characters, each
// passphrase character one random byte looked up in it. It starts as the 94
// printable ASCII characters (capitals, small letters, digits, then the
// others in code order) twice and their first 68 a third time; shuffles only
// permute it, so those 68 are drawn with probability 3/256 each, the other
// 26 with 2/256.

#include "common/random_source.h"
#include "platform/locked_buffer.h"

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t MinPassphraseLength = 6;
inline constexpr std::size_t MaxPassphraseLength = 64;
inline constexpr std::size_t MinPassphraseCount = 1;
inline constexpr std::size_t MaxPassphraseCount = 50;

class CharTable {
public:
    static constexpr std::size_t kSize = 256;

    CharTable();

    std::span<const std::uint8_t, kSize> Entries() const { return table_.span().first<kSize>(); }
    char at(std::uint8_t index) const { return static_cast<char>(table_[index]); }

    // j = (j + table[i] + K[i]) mod 256, swap table[i] and table[j], for
    // i = 0 to 255, with K from one request of 256 bytes; works on the table
    // as earlier shuffles left it. False when the request fails; the table is
    // then unchanged.
    bool Shuffle(RandomSource random);

    // `length` characters (6 to 64) from one request of 64 bytes into `out`.
    bool Generate(RandomSource random, std::size_t length, char* out) const;

private:
    LockedBuffer<std::uint8_t> table_;
};
