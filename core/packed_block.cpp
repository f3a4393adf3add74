#include "core/packed_block.h"

#include "crypto/crc32.h"
#include "platform/secure_memory.h"

#include <cerrno>
#include <unistd.h>

namespace {

// Fills up to `capacity` bytes; short only at the end of the file. -1 when a
// read fails.
ssize_t ReadBlock(int fd, std::uint8_t* buffer, std::size_t capacity)
{
    std::size_t filled = 0;
    while (filled < capacity) {
        const ssize_t count = ::read(fd, buffer + filled, capacity - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<ssize_t>(filled);
}

} // namespace

void BlockBuffersDeleter::operator()(BlockBuffers* buffers) const
{
    SecureFree(buffers, sizeof(BlockBuffers));
}

BlockBuffersOwner AllocateBlockBuffers()
{
    return BlockBuffersOwner(static_cast<BlockBuffers*>(SecureAlloc(sizeof(BlockBuffers))));
}

CoreResult PrepareBlock(int input, BlockCompressor& compressor, PackedBlock& block)
{
    const ssize_t length = ReadBlock(input, block.plain, BlockSize);
    if (length < 0)
        return block.result = IQ_INPUT_FILE_ERROR;
    block.length = static_cast<std::uint32_t>(length);
    block.crc = ~Crc32Update(0xFFFFFFFFU, block.plain, block.length);
    return block.result = compressor.Compress(block.plain, block.length, block.packed, sizeof block.packed,
                                              block.stream, &block.packedLength);
}
