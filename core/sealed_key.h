#pragma once
// The key of the authenticated cipher: Argon2id over the SHA-512 of the
// passphrase (UTF-16LE) and the keyfile's bytes, with the header's salt and
// the cost the header states. Of its 64 bytes the first 32 key the secret
// stream and the next 16 are stored as the key check, which tells a wrong
// passphrase or keyfile from a damaged archive.

#include "core/archive_format.h"
#include "core/key_derivation.h"

#include <cstddef>
#include <cstdint>

struct SealedCost {
    std::uint32_t passes = 0;
    std::uint32_t memoryKiB = 0;
};

// What a reader accepts: the floor keeps test sweeps cheap, the cap keeps a
// hostile header from claiming more memory or time than a recipient gives.
inline constexpr SealedCost SealedCostFloor{1, 1024};
#ifdef IVQA_FUZZING
inline constexpr SealedCost SealedCostCap{2, 8192};
#else
inline constexpr SealedCost SealedCostCap{16, 2097152};
#endif
// One guess costs 256 MiB and at least as long as scrypt at 2^18.
inline constexpr SealedCost SealedCostDefault{10, 262144};

inline constexpr std::size_t SealedStreamKeyLength = 32;

inline bool SealedCostAccepted(SealedCost cost)
{
    return cost.passes >= SealedCostFloor.passes && cost.passes <= SealedCostCap.passes &&
           cost.memoryKiB >= SealedCostFloor.memoryKiB && cost.memoryKiB <= SealedCostCap.memoryKiB;
}

inline SealedCost LoadSealedCost(const std::uint8_t* header)
{
    return {LoadLe32(header + SealedOpsLimitOffset), LoadLe32(header + SealedMemoryKiBOffset)};
}

inline void StoreSealedCost(std::uint8_t* header, SealedCost cost)
{
    StoreLe32(header + SealedOpsLimitOffset, cost.passes);
    StoreLe32(header + SealedMemoryKiBOffset, cost.memoryKiB);
}

// The writer's cost: the default, or the floor when the environment holds
// IVQA_KDF_COST=floor (for test suites that write many archives).
SealedCost WriterSealedCost();

// `key` is the caller's locked 64-byte buffer, wiped by the caller on every
// exit. `cost` must be accepted. OutOfMemory when Argon2id cannot have its
// memory.
DeriveKeyResult DeriveSealedKey(SealedCost cost, const char16_t* passphrase, const char16_t* keyfileLocation,
                                const std::uint8_t* salt, std::uint8_t* key, const char* agentName,
                                const DeriveKeyCheckpoint* checkpoint);

void StoreSealedKeyCheck(std::uint8_t* header, const std::uint8_t* key);
// Compared in constant time.
bool SealedKeyMatches(const std::uint8_t* header, const std::uint8_t* key);
