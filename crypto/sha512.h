#pragma once
// SHA-512 of FIPS 180-2.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t Sha512DigestLength = 64;
inline constexpr std::size_t Sha512BlockLength = 128;

struct Sha512State {
    std::uint64_t chain[8];
    std::uint32_t bitLength[4]; // mod 2^128, least significant word first
    std::uint8_t block[128];    // the buffered count is bitLength / 8 mod 128
};

void Sha512Init(Sha512State* state);
void Sha512Update(Sha512State* state, const std::uint8_t* data, std::size_t length);
// Writes 64 bytes. The state is spent afterwards.
void Sha512Final(Sha512State* state, std::uint8_t* digest);
