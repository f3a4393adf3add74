#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The 256 characters a passphrase character is looked up in, one random
// byte each. It starts as the 94 printable ASCII characters (capitals,
// small letters, digits, then the others in code order) written out twice,
// and the first 68 of them a third time; shuffles only permute it, so those
// 68 are drawn with probability 3/256 each, the other 26 with 2/256.
class CharTable {
public:
    static constexpr std::size_t kSize = 256;

    CharTable();
    ~CharTable();
    CharTable(const CharTable&) = delete;
    CharTable& operator=(const CharTable&) = delete;

    // j = 0; for each i: j = (j + table[i] + key[i]) mod 256, swap i and j.
    // Works on the table as earlier shuffles left it.
    void shuffle(std::span<const std::uint8_t, kSize> key);

    char at(std::uint8_t index) const { return static_cast<char>(table_[index]); }

private:
    std::array<std::uint8_t, kSize> table_;
};
