#pragma once
// RC4 with two changes of this system's own: the IV is folded into the
// expanded key before the key schedule, and every call restarts the counters
// i and j at 0 (only the permutation carries over). Output therefore depends
// on how the stream is cut into calls, and decryption must repeat the
// encryption's calls exactly.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t Rc4KeyLength = 64;
inline constexpr std::size_t Rc4MaxKeyLength = 256;
inline constexpr std::size_t Rc4IvLength = 16;

struct Rc4State {
    std::uint8_t s[256]; // the permutation
    std::uint8_t k[256]; // the expanded key, kept until release
};

// `keyLength` 1 to 256 bytes; the IV has 16 bytes.
void Rc4KeySetup(Rc4State* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv);
// XORs keystream into `buffer`; encrypts and decrypts alike.
void Rc4Crypt(Rc4State* state, std::uint8_t* buffer, std::size_t length);
