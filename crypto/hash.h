#pragma once
// One interface over CRC-32, SHA-512 and SHA-256.

#include <cstddef>
#include <cstdint>

// HashKind
enum : std::uint32_t {
    HashCrc32 = 0,
    HashSha512 = 1,
    HashSha256 = 2,
};

struct HashContext {
    std::uint32_t kind = 0;
    void* state = nullptr; // null while no digest is running
};

// 4, 64, 32; 0 for any other kind.
std::size_t HashDigestLength(std::uint32_t kind);

// Returns 1, or 0 when the kind is unknown or the state cannot be allocated.
// SHA states are locked and wiped; the CRC-32 state is neither.
int HashInit(HashContext* context, std::uint32_t kind);
// Any length, including 0. Never allocates.
void HashUpdate(HashContext* context, const void* data, std::size_t length);
// Writes the digest (HashDigestLength bytes) and releases the state.
void HashFinal(HashContext* context, std::uint8_t* digest);
// Writes the digest and starts a new one of the same kind in the same state,
// wiped first: for chains of digests that should not allocate per link.
void HashFinalAndRestart(HashContext* context, std::uint8_t* digest);
