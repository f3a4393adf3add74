#include "core/random_pool.h"

#include "crypto/hash.h"
#include "platform/entropy.h"
#include "platform/secure_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t DigestLength = 64;

// A locked scratch area, wiped whatever happens.
template <std::size_t Length>
class LockedBytes {
public:
    LockedBytes() { SecureLock(data_, Length); }
    LockedBytes(const LockedBytes&) = delete;
    LockedBytes& operator=(const LockedBytes&) = delete;
    ~LockedBytes() { SecureWipeAndUnlock(data_, Length); }
    std::uint8_t* Get() { return data_; }

private:
    std::uint8_t data_[Length] = {};
};

// A SHA-512 that is finished, and so wiped, on every path.
class Sha512 {
public:
    Sha512() : ok_(HashInit(&context_, HashSha512) != 0) {}
    Sha512(const Sha512&) = delete;
    Sha512& operator=(const Sha512&) = delete;
    ~Sha512()
    {
        if (context_.state != nullptr) {
            std::uint8_t scratch[DigestLength];
            HashFinal(&context_, scratch);
            SecureWipe(scratch, sizeof scratch);
        }
    }
    bool Ok() const { return ok_; }
    void Update(const void* data, std::size_t length) { HashUpdate(&context_, data, length); }
    void Final(std::uint8_t* digest) { HashFinal(&context_, digest); }

    static void Sink(void* self, const void* data, std::size_t length)
    {
        static_cast<Sha512*>(self)->Update(data, length);
    }

private:
    HashContext context_;
    bool ok_;
};

bool DigestOf(bool (*poll)(EntropySink, void*), std::uint8_t* digest)
{
    Sha512 hash;
    if (!hash.Ok() || !poll(&Sha512::Sink, &hash))
        return false;
    hash.Final(digest);
    return true;
}

bool DigestOfBytes(const std::uint8_t* data, std::size_t length, std::uint8_t* digest)
{
    Sha512 hash;
    if (!hash.Ok())
        return false;
    hash.Update(data, length);
    hash.Final(digest);
    return true;
}

void XorInto(std::uint8_t* target, const std::uint8_t* source, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        target[i] ^= source[i];
}

} // namespace

bool PollSystemEntropy(std::uint8_t* pollBuffer)
{
    return DigestOf(&PollProcesses, pollBuffer) && DigestOf(&PollThreads, pollBuffer + DigestLength) &&
           DigestOf(&PollOwnProcess, pollBuffer + 2 * DigestLength) &&
           DigestOf(&PollTimesAndCounters, pollBuffer + 3 * DigestLength);
}

void ReadSystemTimeVector(std::uint8_t* timeVector)
{
    ReadTimeVector(timeVector);
}

bool RandomPool::Setup(EntropyPoll poll)
{
    std::lock_guard guard(lock_);
    if (ready_)
        return true;
    SecureLock(value_, sizeof value_);
    LockedBytes<PollBufferLength> pollBuffer;
    LockedBytes<DigestLength> seedKey;

    // V from D1 || D2; the Blowfish key and IV from D3 || D4.
    const bool seeded = poll(pollBuffer.Get()) && DigestOfBytes(pollBuffer.Get(), 128, value_) &&
                        DigestOfBytes(pollBuffer.Get() + 128, 128, seedKey.Get()) &&
                        CipherInit(&cipher_, CipherBlowfish, CipherKeyLength(CipherBlowfish),
                                   seedKey.Get() + CipherKeyLength(CipherBlowfish), seedKey.Get()) != 0;
    if (!seeded) {
        SecureWipeAndUnlock(value_, sizeof value_);
        return false;
    }
    ready_ = true;
    return true;
}

void RandomPool::Teardown()
{
    std::lock_guard guard(lock_);
    if (!ready_)
        return;
    SecureWipeAndUnlock(value_, sizeof value_);
    CipherRelease(&cipher_);
    ready_ = false;
}

bool RandomPool::ProduceBlock(std::uint8_t* out, std::size_t length)
{
    std::uint8_t t[DigestLength];
    {
        std::uint8_t timeVector[TimeVectorLength];
        time_(timeVector);
        const bool hashed = DigestOfBytes(timeVector, sizeof timeVector, t);
        SecureWipe(timeVector, sizeof timeVector);
        if (!hashed)
            return false;
    }
    // I = E(DT), R = E(V ^ I), V' = E(R ^ I); the cipher's register runs on,
    // so E is a different mapping at every use.
    CipherProcess(&cipher_, t, DigestLength);
    XorInto(value_, t, PoolValueLength);
    CipherProcess(&cipher_, value_, PoolValueLength);
    std::memcpy(out, value_, length);
    XorInto(value_, t, PoolValueLength);
    CipherProcess(&cipher_, value_, PoolValueLength);
    SecureWipe(t, sizeof t);
    return true;
}

CoreResult RandomPool::GetBytes(std::uint8_t* buffer, std::uint32_t length)
{
    std::lock_guard guard(lock_);
    if (length == 0)
        return IQ_OK;
    if (!ready_ || buffer == nullptr)
        return IQ_RANDOM_ERROR;
    const bool produced = ForEachPoolBlock(length, [&](std::uint64_t offset, std::size_t take) {
        return ProduceBlock(buffer + offset, take);
    });
    return produced ? IQ_OK : IQ_RANDOM_ERROR;
}

void SeedPoolOrExit(RandomPool& pool, EntropyPoll poll)
{
    if (pool.Setup(poll))
        return;
    std::fputs("ivqa: cannot seed the random generator from the system state\n", stderr);
    std::_Exit(1);
}
