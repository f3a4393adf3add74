#pragma once
// Reads, checksums and compresses blocks on helper threads, one per usable
// core, while the caller's thread encrypts and writes them in order. Blocks
// are submitted in archive order, from one file or from many, and taken in
// the same order. The helpers only read and compress: the cipher, the
// archive file and every callback stay on the caller's thread. At most a
// few whole blocks and a run of small ones exist at a time, so memory does
// not grow with the input. Threads are woken in batches where they would
// otherwise wake for every small file.

#include "core/packed_block.h"
#include "platform/unique_fd.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// How many helpers this process may use: one per core it may run on, at
// most a few; 0 with a single core, where helpers would only take turns
// with the caller's thread.
unsigned UsableHelpers();

// Whole blocks in flight for `helpers`: one being written, one ready behind
// it, one being made on each helper.
constexpr std::size_t RingBlocks(unsigned helpers)
{
    return helpers + 2;
}

// Blocks in flight at most, small ones included; each has a small block of
// its own.
inline constexpr std::size_t BlocksInFlight = 64;

// A file shared by the blocks read from it: closed once the last is read.
using SharedInput = std::shared_ptr<const UniqueFd>;

// A prepared block as the caller's thread takes it.
struct TakenBlock {
    std::uint8_t* packed;
    std::uint32_t packedLength;
    std::uint32_t crc;
    // IQ_OK, or the failure to return with `error` as errno.
    CoreResult result;
    int error;
};

class BlockPipeline {
public:
    // `ring` holds at least RingBlocks(helpers) blocks, `small`
    // BlocksInFlight.
    BlockPipeline(BlockBuffers& ring, SmallBlockBuffers& small, unsigned helpers);
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;
    // Stops the helpers and waits for them, whatever state the blocks are in.
    ~BlockPipeline();

    // False when the system has no thread to give; nothing can be
    // submitted then, and the caller prepares the blocks itself.
    bool Start();

    // Queues block `index` of `input`, a file of `size` bytes when it was
    // queried, compressed at `level`. Waits for room when `wait`; false
    // when there is none without waiting, and once stopped.
    bool Submit(const SharedInput& input, std::uint64_t size, std::uint64_t index, int level, bool wait) noexcept;

    // Waits until the oldest block not taken yet is prepared. Nothing when
    // the producer has finished and every block submitted was taken.
    std::optional<TakenBlock> Take();
    // Hands the block taken last back for refilling.
    void Release();

    // The producer submits nothing more.
    void Finish() noexcept;
    // Submit refuses from now on and the helpers end after their block.
    void Stop() noexcept;

private:
    struct Job {
        SharedInput input;
        std::uint64_t index = 0;
        std::uint32_t expected = 0; // the block's length by the queried size
        int level = 0;
        int whole = -1; // the whole block it is made in; -1: its small one
        bool ready = false;
    };

    void Run() noexcept;
    // Wakes the helpers for what is queued; the mutex is held.
    void WakeHelpers();

    BlockBuffers& ring_;
    SmallBlockBuffers& small_;
    const unsigned helpers_;
    std::vector<Job> jobs_;
    std::vector<int> freeWhole_;

    std::mutex mutex_;
    std::condition_variable room_;  // the producer waits for room
    std::condition_variable work_;  // helpers wait for a submitted block
    std::condition_variable ready_; // the caller waits for a prepared one
    std::uint64_t submitted_ = 0;
    std::uint64_t claimed_ = 0; // blocks a helper has begun
    std::uint64_t taken_ = 0;
    std::uint64_t released_ = 0;
    bool callerWaiting_ = false;
    bool producerWaiting_ = false;
    bool finished_ = false;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
