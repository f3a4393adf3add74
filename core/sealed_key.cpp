#include "core/sealed_key.h"

#include "crypto/hash.h"
#include "platform/secure_memory.h"

#include <cstdlib>
#include <cstring>
#include <sodium.h>

namespace {

constexpr std::size_t PrehashLength = 64;
constexpr std::size_t CheckKeyOffset = SealedStreamKeyLength;

// The digest of the key inputs, locked while it exists and wiped on release.
class Prehash {
public:
    Prehash() { SecureLock(data_, sizeof data_); }
    Prehash(const Prehash&) = delete;
    Prehash& operator=(const Prehash&) = delete;
    ~Prehash() { SecureWipeAndUnlock(data_, sizeof data_); }
    std::uint8_t* Get() { return data_; }

private:
    std::uint8_t data_[PrehashLength];
};

} // namespace

SealedCost WriterSealedCost()
{
    const char* setting = std::getenv("IVQA_KDF_COST");
    return setting != nullptr && std::strcmp(setting, "floor") == 0 ? SealedCostFloor : SealedCostDefault;
}

DeriveKeyResult DeriveSealedKey(SealedCost cost, const char16_t* passphrase, const char16_t* keyfileLocation,
                                const std::uint8_t* salt, std::uint8_t* key, const char* agentName,
                                const DeriveKeyCheckpoint* checkpoint)
{
    static_assert(crypto_pwhash_SALTBYTES == HeaderSaltLength);
    if (!SealedCostAccepted(cost) || sodium_init() < 0)
        return DeriveKeyResult::OutOfMemory;
    Prehash prehash;
    HashContext hash;
    if (HashInit(&hash, HashSha512) == 0)
        return DeriveKeyResult::OutOfMemory;
    const DeriveKeyResult added = HashKeyInputs(&hash, passphrase, keyfileLocation, agentName, checkpoint);
    // Finished on every path: that wipes and frees the hash state.
    HashFinal(&hash, prehash.Get());
    if (added != DeriveKeyResult::Ok)
        return added;
    // The work area (up to the cap) is libsodium's own: far beyond what a
    // process may lock, it is allocated and released inside this call.
    if (crypto_pwhash(key, KeyBufferLength, reinterpret_cast<const char*>(prehash.Get()), PrehashLength, salt,
                      cost.passes, std::size_t{cost.memoryKiB} * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return DeriveKeyResult::OutOfMemory;
    return DeriveKeyResult::Ok;
}

void StoreSealedKeyCheck(std::uint8_t* header, const std::uint8_t* key)
{
    std::memcpy(header + SealedKeyCheckOffset, key + CheckKeyOffset, SealedKeyCheckLength);
}

bool SealedKeyMatches(const std::uint8_t* header, const std::uint8_t* key)
{
    return sodium_memcmp(header + SealedKeyCheckOffset, key + CheckKeyOffset, SealedKeyCheckLength) == 0;
}
