#pragma once
// One zlib stream (RFC 1950) per block at the entry's level. libdeflate
// makes the streams; zlib takes over for a block whose stream libdeflate
// cannot finish within the format's bound, since zlib guarantees that bound.

#include "ivqa.h"

#include <cstddef>
#include <cstdint>
#include <zlib.h>

struct libdeflate_compressor;

// zlib's compress bound as the format fixes it: MaxPackedBlock for a full
// block, so a block never exceeds what the extractor can hold.
constexpr std::size_t PackedCapacity(std::size_t length)
{
    return length + length / 4096 + length / 16384 + 11;
}

// Room libdeflate needs beyond the stream it writes: it gives up when its
// output comes within a few bytes of the end of the buffer.
inline constexpr std::size_t PackedSlack = 256;

class BlockCompressor {
public:
    BlockCompressor() = default;
    BlockCompressor(const BlockCompressor&) = delete;
    BlockCompressor& operator=(const BlockCompressor&) = delete;
    ~BlockCompressor();

    // Ready for `level` (0 to 9), keeping the state of the last level used.
    // False when the memory cannot be had.
    bool Prepare(int level);

    // Compresses `length` bytes into `packed`, which holds `capacity` bytes,
    // at least PackedCapacity(length). The stream never exceeds
    // PackedCapacity(length). `fallback` is the record zlib works in; it lies
    // in locked memory like the data. Results: IQ_OK, IQ_OUT_OF_MEMORY or
    // IQ_COMPRESSION_ERROR.
    CoreResult Compress(const std::uint8_t* plain, std::size_t length, std::uint8_t* packed,
                        std::size_t capacity, z_stream& fallback, std::uint32_t* packedLength);

private:
    libdeflate_compressor* compressor_ = nullptr;
    int level_ = -1;
};
