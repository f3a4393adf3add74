#pragma once
// CAST-256 (RFC 2612), forward direction only, in the byte feedback mode.

#include "crypto/cipher.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t Cast256BlockLength = 16;
inline constexpr std::size_t Cast256KeyLength = 32;

struct Cast256State {
    // Per quad-round: four rotation subkeys (low 5 bits kept), then four
    // masking subkeys.
    std::uint32_t subkeys[12][8];
    std::uint8_t feedback[Cast256BlockLength];
};

// `keyLength` up to 32 bytes; a shorter key is padded with zero bytes.
void Cast256KeySetup(Cast256State* state, const std::uint8_t* key, std::size_t keyLength,
                     const std::uint8_t* iv);
// Encrypts 16 bytes in place (four big-endian words).
void Cast256EncryptBlock(const Cast256State* state, std::uint8_t* block);
void Cast256Process(Cast256State* state, std::uint8_t* buffer, std::size_t length,
                    CipherDirection direction);
