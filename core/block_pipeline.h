#pragma once
// Prepares the blocks of one file on a helper thread, one block ahead of the
// caller's thread, which encrypts and writes them in order. The helper only
// reads, checksums and compresses: the cipher, the archive file and every
// callback stay on the caller's thread. At most BlocksInFlight blocks exist
// at a time, so memory does not grow with the file.

#include "core/packed_block.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class BlockPipeline {
public:
    BlockPipeline(int input, std::uint64_t blockCount, BlockCompressor& compressor, BlockBuffers& buffers);
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;
    // Stops the helper and waits for it, whatever state the file is in.
    ~BlockPipeline();

    // False when the system has no thread to give; nothing has been read
    // then, and the caller prepares the blocks itself.
    bool Start();

    // Waits until the next block in file order is prepared. Its `result`
    // says whether it may be written; after a failed block the helper has
    // stopped.
    PackedBlock& Take();
    // Hands the block taken last back to the helper for refilling.
    void Release();

private:
    void Run() noexcept;

    const int input_;
    const std::uint64_t blockCount_;
    BlockCompressor& compressor_;
    BlockBuffers& buffers_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t prepared_ = 0; // blocks the helper has finished
    std::uint64_t taken_ = 0;    // blocks the caller has taken
    std::uint64_t released_ = 0; // blocks the caller has handed back
    bool stopping_ = false;
    std::thread helper_;
};
