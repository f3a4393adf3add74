#pragma once
// The X9.17-style generator: a 64-byte secret value V and a Blowfish stream,
// seeded once from a poll of the system's state; every output block mixes
// in a hash of the current time.

#include "crypto/cipher.h"
#include "ivqa.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>

inline constexpr std::size_t PoolValueLength = 64;
inline constexpr std::size_t PollBufferLength = 256;
inline constexpr std::size_t PoolBlockLength = 64;

// Fills the poll buffer with the four digests D1..D4; false on failure.
using EntropyPoll = bool (*)(std::uint8_t* pollBuffer);
// Writes the 16-byte time vector of one output step.
using TimeSource = void (*)(std::uint8_t* timeVector);

// The system sources: D1 processes, D2 threads, D3 this process, D4 times
// and counters, each one SHA-512.
bool PollSystemEntropy(std::uint8_t* pollBuffer);
void ReadSystemTimeVector(std::uint8_t* timeVector);

// Constant-initialised, so the process's instance exists before the load
// constructor seeds it. Not torn down by a destructor: the unload hook (or a
// test) calls Teardown.
// Splits an output of `length` bytes into blocks; produce(offset, take)
// false stops it. Counted in 64 bits: a 32-bit offset would wrap before
// reaching a length near 2^32 and never end.
template <typename Produce>
bool ForEachPoolBlock(std::uint32_t length, Produce&& produce)
{
    for (std::uint64_t offset = 0; offset < length; offset += PoolBlockLength)
        if (!produce(offset, static_cast<std::size_t>(std::min<std::uint64_t>(PoolBlockLength, length - offset))))
            return false;
    return true;
}

class RandomPool {
public:
#ifdef _WIN32
    // The MinGW runtime's std::mutex is not constant-initialised; the DLL's
    // runtime constructs the pool before the load notification seeds it.
    explicit RandomPool(TimeSource time = &ReadSystemTimeVector) : time_(time) {}
#else
    constexpr explicit RandomPool(TimeSource time = &ReadSystemTimeVector) : time_(time) {}
#endif
    RandomPool(const RandomPool&) = delete;
    RandomPool& operator=(const RandomPool&) = delete;

    // Seeds the pool; once seeded, later calls change nothing.
    bool Setup(EntropyPoll poll);
    // Wipes V and releases the cipher; the pool is unseeded afterwards.
    void Teardown();

    // IQ_OK, or IQ_RANDOM_ERROR when unseeded or when an output step fails;
    // the bytes from the failed block on are left as they were.
    CoreResult GetBytes(std::uint8_t* buffer, std::uint32_t length);

private:
    bool ProduceBlock(std::uint8_t* out, std::size_t length);

    std::mutex lock_;
    TimeSource time_;
    std::uint8_t value_[PoolValueLength] = {};
    CipherContext cipher_;
    bool ready_ = false;
};

// The load constructor's body: on failure one line to stderr, then the
// process ends with status 1, as a refused library load would end it.
void SeedPoolOrExit(RandomPool& pool, EntropyPoll poll);
