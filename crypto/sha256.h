#pragma once
// SHA-256 of FIPS 180-2.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t Sha256DigestLength = 32;
inline constexpr std::size_t Sha256BlockLength = 64;

struct Sha256State {
    std::uint32_t chain[8];
    std::uint32_t bitLength[2]; // mod 2^64, least significant word first
    std::uint8_t block[128];    // 64 used; the buffered count is bitLength / 8 mod 64
};

void Sha256Init(Sha256State* state);
void Sha256Update(Sha256State* state, const std::uint8_t* data, std::size_t length);
// Writes 32 bytes. The state is spent afterwards.
void Sha256Final(Sha256State* state, std::uint8_t* digest);
