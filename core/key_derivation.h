#pragma once
// Turns passphrase, keyfile and salt into the archive's cipher key:
// K0 = H(passphrase || keyfile || salt), K(i+1) = H(first k bytes of K(i)),
// 1,000 times; the key is the first k bytes. H is SHA-256 for AES-256 and
// CAST-256, SHA-512 for the others. The library and the module compile this
// same source, since any difference shows up as a wrong check value.

#include <cstddef>
#include <cstdint>

struct HashContext;

inline constexpr int KeyRounds = 1000;
inline constexpr std::size_t KeyBufferLength = 64;

enum class DeriveKeyResult {
    Ok,
    OutOfMemory,
    KeyfileError,
};

// `passphrase` and `keyfileLocation` are terminated UTF-16 or null (null and
// empty give the same key). `salt` has 16 bytes; `key` is the caller's
// locked 64-byte buffer, which the caller wipes on every exit. `cipherId`
// must be 0 to 4. `agentName` is the user agent for remote keyfiles.
DeriveKeyResult DeriveKey(std::uint32_t cipherId, const char16_t* passphrase,
                          const char16_t* keyfileLocation, const std::uint8_t* salt,
                          std::uint8_t* key, const char* agentName);

// Asked after every keyfile block; false stops the reading, and DeriveKey
// returns KeyfileError. Must not throw: it is called from within the URL
// reader's C callbacks.
struct DeriveKeyCheckpoint {
    bool (*keepGoing)(void* context);
    void* context;
};

DeriveKeyResult DeriveKey(std::uint32_t cipherId, const char16_t* passphrase,
                          const char16_t* keyfileLocation, const std::uint8_t* salt,
                          std::uint8_t* key, const char* agentName, const DeriveKeyCheckpoint* checkpoint);

// Feeds the passphrase (UTF-16LE) and then the keyfile's bytes into `hash`,
// as every key derivation of the format does. OutOfMemory is never returned.
DeriveKeyResult HashKeyInputs(HashContext* hash, const char16_t* passphrase, const char16_t* keyfileLocation,
                              const char* agentName, const DeriveKeyCheckpoint* checkpoint);
