#pragma once
// One block of a file on its way into the archive: its plaintext, the zlib
// stream made of it and the CRC. Reading, checksumming and compressing a
// block is one step, so the caller's thread and the helper thread of the
// overlapped writer make the same bytes.

#include "core/archive_format.h"
#include "core/block_compressor.h"

#include <cstdint>
#include <memory>
#include <zlib.h>

// Lives in locked memory only (BlockBuffers), never on the stack.
struct PackedBlock {
    std::uint8_t plain[BlockSize];
    std::uint8_t packed[MaxPackedBlock + PackedSlack];
    z_stream stream;
    std::uint32_t length;
    std::uint32_t crc;
    std::uint32_t packedLength;
    // What preparing the block gave: IQ_OK, or the failure the writer returns.
    CoreResult result;
};

// The overlapped writer has one block being encrypted and written while the
// next is read and compressed.
inline constexpr std::size_t BlocksInFlight = 2;

struct BlockBuffers {
    PackedBlock blocks[BlocksInFlight];
};

struct BlockBuffersDeleter {
    void operator()(BlockBuffers* buffers) const;
};
using BlockBuffersOwner = std::unique_ptr<BlockBuffers, BlockBuffersDeleter>;

// Zero-filled and locked; null when the memory cannot be had.
BlockBuffersOwner AllocateBlockBuffers();

// Reads up to BlockSize bytes of `input` (fewer only at its end), and fills
// the block's CRC and stream with `compressor`, already prepared for the
// entry's level. Sets and returns block.result: IQ_OK, IQ_INPUT_FILE_ERROR,
// IQ_OUT_OF_MEMORY or IQ_COMPRESSION_ERROR.
CoreResult PrepareBlock(int input, BlockCompressor& compressor, PackedBlock& block);
