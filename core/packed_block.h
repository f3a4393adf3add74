#pragma once
// One block of a file on its way into the archive: its plaintext, the zlib
// stream made of it and the CRC. Reading, checksumming and compressing a
// block is one step, so the caller's thread and the helper thread of the
// overlapped writer make the same bytes.

#include "core/archive_format.h"
#include "core/block_compressor.h"

#include <cstdint>
#include <cstddef>
#include <zlib.h>

// Lives in locked memory only (BlockBuffers), never on the stack.
struct PackedBlock {
    std::uint8_t plain[BlockSize];
    std::uint8_t packed[MaxPackedBlock + PackedSlack];
    z_stream stream;
    std::uint32_t length;
    std::uint32_t crc;
    std::uint32_t packedLength;
    // What preparing the block gave: IQ_OK, or the failure the writer returns
    // with `error` as errno.
    CoreResult result;
    int error;
};

// A run of blocks in locked memory, zero-filled; empty when the memory
// cannot be had. Wiped and released with the owner.
class BlockBuffers {
public:
    BlockBuffers() = default;
    explicit BlockBuffers(std::size_t count);
    BlockBuffers(BlockBuffers&& other) noexcept;
    BlockBuffers& operator=(BlockBuffers&& other) noexcept;
    ~BlockBuffers();

    explicit operator bool() const { return blocks_ != nullptr; }
    std::size_t Count() const { return count_; }
    PackedBlock& operator[](std::size_t index) { return blocks_[index]; }

private:
    void Free() noexcept;

    PackedBlock* blocks_ = nullptr;
    std::size_t count_ = 0;
};

// Reads up to BlockSize bytes of `input` (fewer only at its end), and fills
// the block's CRC and stream with `compressor`, already prepared for the
// entry's level. Sets and returns block.result: IQ_OK, IQ_INPUT_FILE_ERROR,
// IQ_OUT_OF_MEMORY or IQ_COMPRESSION_ERROR.
CoreResult PrepareBlock(int input, BlockCompressor& compressor, PackedBlock& block);

// The same for the block at `offset` of `input`, read without moving the
// file position, so that several blocks of one file can be read at once.
// `expected` is the block's length by the file's queried size: a short read
// that reaches it is taken as the end of the file, sparing the read that
// would only find the end.
CoreResult PrepareBlockAt(int input, std::uint64_t offset, std::uint32_t expected, BlockCompressor& compressor,
                          PackedBlock& block);
