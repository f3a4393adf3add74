#pragma once
// AES-256 (FIPS-197), forward direction only, in the byte feedback mode.
// Its one quirk: the key setup runs the key expansion four words past w[59]
// and those words, w[60..63], become the feedback register in place of the
// IV. Stored archives depend on it.

#include "crypto/cipher.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t AesBlockLength = 16;
inline constexpr std::size_t AesKeyLength = 32;
inline constexpr std::size_t AesRoundKeyWords = 60;

struct AesState {
    std::uint32_t nk; // key words; the round count is nk + 6
    // w[0..59] of FIPS-197, each word holding its four bytes in memory order.
    std::uint32_t roundKeys[AesRoundKeyWords];
    std::uint8_t feedback[AesBlockLength];
    std::uint32_t useAesNi; // the block function this context was keyed for
};

// Builds the S-box and round tables once per process; AesExpandKey calls it.
void BuildAesTables();

// `keyBits` must be 256.
void AesExpandKey(AesState* state, const std::uint8_t* key, std::uint32_t keyBits);

// Encrypts 16 bytes in place with the table-driven block function.
void AesEncryptBlock(const AesState* state, std::uint8_t* block);

// CipherInit for AES-256: the IV goes into the register first and is then
// overwritten by the key expansion. `keyLength` must be 32.
void AesKeySetup(AesState* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv);
void AesProcess(AesState* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction);

// For tests: key later contexts for the table path even where AES-NI exists.
void AesForceTablePath(bool force);
