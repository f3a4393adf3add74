#include "core/packed_block.h"

#include "crypto/crc32.h"

#include <cerrno>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace {

// Reads up to `capacity` bytes at `offset`, or at the file position when
// `offset` is null; -1 when a read fails.
ssize_t ReadSome(int fd, std::uint8_t* buffer, std::size_t capacity, const std::uint64_t* offset)
{
    if (offset == nullptr)
        return ::read(fd, buffer, capacity);
#ifdef _WIN32
    // A synchronous handle reads at the offset the OVERLAPPED names.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(*offset);
    at.OffsetHigh = static_cast<DWORD>(*offset >> 32);
    DWORD count = 0;
    if (!ReadFile(handle, buffer, static_cast<DWORD>(capacity), &count, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return static_cast<ssize_t>(count);
#else
    return ::pread(fd, buffer, capacity, static_cast<off_t>(*offset));
#endif
}

// Fills up to `capacity` bytes; short only at the end of the file, or once
// a short read has filled `expected`. -1 when a read fails.
ssize_t ReadBlock(int fd, std::uint8_t* buffer, std::size_t capacity, const std::uint64_t* start,
                  std::size_t expected)
{
    std::size_t filled = 0;
    while (filled < capacity) {
        std::uint64_t offset = start != nullptr ? *start + filled : 0;
        const ssize_t count = ReadSome(fd, buffer + filled, capacity - filled, start != nullptr ? &offset : nullptr);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
        if (filled >= expected && filled < capacity)
            break;
    }
    return static_cast<ssize_t>(filled);
}

CoreResult Prepare(int input, const std::uint64_t* offset, std::size_t expected, BlockCompressor& compressor,
                   std::uint8_t* plain, std::size_t capacity, std::uint8_t* packed, BlockOutcome& block)
{
    const ssize_t length = ReadBlock(input, plain, capacity, offset, expected);
    if (length < 0) {
        block.error = errno;
        return block.result = IQ_INPUT_FILE_ERROR;
    }
    block.length = static_cast<std::uint32_t>(length);
    block.crc = ~Crc32Update(0xFFFFFFFFU, plain, block.length);
    block.result = compressor.Compress(plain, block.length, packed, PackedCapacity(capacity) + PackedSlack,
                                       block.stream, &block.packedLength);
    block.error = errno;
    return block.result;
}

} // namespace

CoreResult PrepareBlock(int input, BlockCompressor& compressor, PackedBlock& block)
{
    return Prepare(input, nullptr, BlockSize, compressor, block.plain, BlockSize, block.packed, block);
}

CoreResult PrepareBlockIn(int input, std::uint64_t offset, std::uint32_t expected, BlockCompressor& compressor,
                          std::uint8_t* plain, std::size_t capacity, std::uint8_t* packed, BlockOutcome& outcome)
{
    return Prepare(input, &offset, expected, compressor, plain, capacity, packed, outcome);
}
