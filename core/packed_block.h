#pragma once
// One block of a file on its way into the archive: its plaintext, the zlib
// stream made of it and the CRC. Reading, checksumming and compressing a
// block is one step, so the caller's thread and the helper thread of the
// overlapped writer make the same bytes.

#include "core/archive_format.h"
#include "core/block_compressor.h"
#include "platform/secure_memory.h"

#include <cstdint>
#include <cstddef>
#include <limits>
#include <utility>
#include <zlib.h>

// What making a block gave, whichever space it was made in.
struct BlockOutcome {
    z_stream stream; // zlib's record, which holds plaintext
    std::uint32_t length;
    std::uint32_t crc;
    std::uint32_t packedLength;
    // IQ_OK, or the failure the writer returns with `error` as errno.
    CoreResult result;
    int error;
};

// A block of up to `Capacity` plaintext bytes and its stream. Lives in
// locked memory only (LockedBlocks), never on the stack.
template <std::size_t Capacity>
struct BlockSpace : BlockOutcome {
    static constexpr std::size_t capacity = Capacity;
    std::uint8_t plain[Capacity];
    std::uint8_t packed[PackedCapacity(Capacity) + PackedSlack];
};

using PackedBlock = BlockSpace<BlockSize>;
// The blocks of small files fit in far less: many of them can be in flight
// in the memory of one whole block.
inline constexpr std::size_t SmallBlockSize = 16 * 1024;
using SmallBlock = BlockSpace<SmallBlockSize>;

// A run of blocks in locked memory, zero-filled; empty when the memory
// cannot be had. Wiped and released with the owner.
template <typename Block>
class LockedBlocks {
public:
    LockedBlocks() = default;
    explicit LockedBlocks(std::size_t count)
    {
        if (count == 0 || count > std::numeric_limits<std::size_t>::max() / sizeof(Block))
            return;
        blocks_ = static_cast<Block*>(SecureAlloc(count * sizeof(Block)));
        count_ = blocks_ != nullptr ? count : 0;
    }
    LockedBlocks(LockedBlocks&& other) noexcept
        : blocks_(std::exchange(other.blocks_, nullptr)), count_(std::exchange(other.count_, 0))
    {
    }
    LockedBlocks& operator=(LockedBlocks&& other) noexcept
    {
        if (this != &other) {
            Free();
            blocks_ = std::exchange(other.blocks_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }
    ~LockedBlocks() { Free(); }

    explicit operator bool() const { return blocks_ != nullptr; }
    std::size_t Count() const { return count_; }
    Block& operator[](std::size_t index) { return blocks_[index]; }

private:
    void Free() noexcept
    {
        SecureFree(blocks_, count_ * sizeof(Block));
        blocks_ = nullptr;
        count_ = 0;
    }

    Block* blocks_ = nullptr;
    std::size_t count_ = 0;
};

using BlockBuffers = LockedBlocks<PackedBlock>;
using SmallBlockBuffers = LockedBlocks<SmallBlock>;

// Reads up to BlockSize bytes of `input` (fewer only at its end), and fills
// the block's CRC and stream with `compressor`, already prepared for the
// entry's level. Sets and returns block.result: IQ_OK, IQ_INPUT_FILE_ERROR,
// IQ_OUT_OF_MEMORY or IQ_COMPRESSION_ERROR.
CoreResult PrepareBlock(int input, BlockCompressor& compressor, PackedBlock& block);

// Makes the block at `offset` of `input` in `plain` and `packed`, which
// hold `capacity` and PackedCapacity(capacity) + PackedSlack bytes; the
// file position does not move, so that several blocks of one file can be
// read at once. `expected` is the block's length by the file's queried
// size: a short read that reaches it is taken as the end of the file,
// sparing the read that would only find the end.
CoreResult PrepareBlockIn(int input, std::uint64_t offset, std::uint32_t expected, BlockCompressor& compressor,
                          std::uint8_t* plain, std::size_t capacity, std::uint8_t* packed, BlockOutcome& outcome);

template <typename Block>
CoreResult PrepareBlockAt(int input, std::uint64_t offset, std::uint32_t expected, BlockCompressor& compressor,
                          Block& block)
{
    return PrepareBlockIn(input, offset, expected, compressor, block.plain, Block::capacity, block.packed, block);
}
