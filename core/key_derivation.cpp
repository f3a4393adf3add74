#include "core/key_derivation.h"

#include "core/archive_format.h"
#include "core/keyfile_reader.h"
#include "crypto/cipher.h"
#include "crypto/hash.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <bit>
#include <string>

// Passphrase units are hashed as UTF-16LE, which is their memory image here.
static_assert(std::endian::native == std::endian::little);

namespace {

std::uint32_t KeyHashKind(std::uint32_t cipherId)
{
    return cipherId == CipherAes256 || cipherId == CipherCast256 ? HashSha256 : HashSha512;
}

struct KeyfileHashing {
    HashContext* hash;
    const DeriveKeyCheckpoint* checkpoint;
};

bool AddToHash(void* context, const std::uint8_t* data, std::size_t length)
{
    const auto* hashing = static_cast<const KeyfileHashing*>(context);
    HashUpdate(hashing->hash, data, length);
    const DeriveKeyCheckpoint* checkpoint = hashing->checkpoint;
    return checkpoint == nullptr || checkpoint->keepGoing(checkpoint->context);
}

// A hash that is finished (and so wiped) on every path out of DeriveKey.
class ScopedHash {
public:
    ~ScopedHash()
    {
        if (context_.state != nullptr) {
            std::uint8_t scratch[64];
            HashFinal(&context_, scratch);
            SecureWipe(scratch, sizeof scratch);
        }
    }
    HashContext* Get() { return &context_; }

private:
    HashContext context_;
};

// The 1,024-byte keyfile block, locked while it exists and wiped on release.
class KeyfileBlock {
public:
    KeyfileBlock() { SecureLock(data_, sizeof data_); }
    ~KeyfileBlock() { SecureWipeAndUnlock(data_, sizeof data_); }
    std::uint8_t* Get() { return data_; }

private:
    std::uint8_t data_[KeyfileBlockSize];
};

} // namespace

DeriveKeyResult HashKeyInputs(HashContext* hash, const char16_t* passphrase, const char16_t* keyfileLocation,
                              const char* agentName, const DeriveKeyCheckpoint* checkpoint)
{
    HashUpdate(hash, passphrase, Utf16Length(passphrase) * sizeof(char16_t));
    if (Utf16Length(keyfileLocation) == 0)
        return DeriveKeyResult::Ok;
    const auto location = Utf16ToUtf8(keyfileLocation);
    if (!location)
        return DeriveKeyResult::KeyfileError;
    KeyfileBlock block;
    KeyfileHashing hashing{hash, checkpoint};
    if (!ReadKeyfile(location->c_str(), agentName, block.Get(), &AddToHash, &hashing))
        return DeriveKeyResult::KeyfileError;
    return DeriveKeyResult::Ok;
}

DeriveKeyResult DeriveKey(std::uint32_t cipherId, const char16_t* passphrase,
                          const char16_t* keyfileLocation, const std::uint8_t* salt,
                          std::uint8_t* key, const char* agentName)
{
    return DeriveKey(cipherId, passphrase, keyfileLocation, salt, key, agentName, nullptr);
}

DeriveKeyResult DeriveKey(std::uint32_t cipherId, const char16_t* passphrase,
                          const char16_t* keyfileLocation, const std::uint8_t* salt,
                          std::uint8_t* key, const char* agentName, const DeriveKeyCheckpoint* checkpoint)
{
    const std::uint32_t kind = KeyHashKind(cipherId);
    const std::size_t keyLength = CipherKeyLength(cipherId);
    ScopedHash hash;

    if (HashInit(hash.Get(), kind) == 0)
        return DeriveKeyResult::OutOfMemory;
    if (const DeriveKeyResult added = HashKeyInputs(hash.Get(), passphrase, keyfileLocation, agentName, checkpoint);
        added != DeriveKeyResult::Ok)
        return added;

    HashUpdate(hash.Get(), salt, HeaderSaltLength);
    // Every round hashes the last digest in the one state.
    HashFinalAndRestart(hash.Get(), key);
    for (int round = 0; round < KeyRounds; ++round) {
        HashUpdate(hash.Get(), key, keyLength);
        if (round + 1 < KeyRounds)
            HashFinalAndRestart(hash.Get(), key);
        else
            HashFinal(hash.Get(), key);
    }
    return DeriveKeyResult::Ok;
}
