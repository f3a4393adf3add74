#pragma once
// RC5-64/18/64 (RFC 2040 with 64-bit words, 18 rounds, a 64-byte key),
// forward direction only, in the byte feedback mode.

#include "crypto/cipher.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t Rc5BlockLength = 16;
inline constexpr std::size_t Rc5KeyLength = 64;
inline constexpr std::size_t Rc5MaxKeyLength = 256;
inline constexpr int Rc5Rounds = 18;
inline constexpr std::size_t Rc5TableWords = 2 * Rc5Rounds + 2;

struct Rc5State {
    std::uint64_t s[Rc5TableWords];             // the expanded key table
    std::uint64_t l[Rc5MaxKeyLength / 8];       // the key words
    std::uint8_t feedback[Rc5BlockLength];      // A in bytes 0 to 7, B in 8 to 15
};

// `keyLength` 8 to 256 bytes; only whole 64-bit words of it are used. The IV
// has 16 bytes and goes into the register only.
void Rc5KeySetup(Rc5State* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv);
// Encrypts the block's two words in place.
void Rc5EncryptBlock(const Rc5State* state, std::uint64_t* a, std::uint64_t* b);
void Rc5Process(Rc5State* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction);
