#include "core/block_compressor.h"

#include "platform/secure_memory.h"
#include "platform/zlib_memory.h"

#include <cstring>
#include <limits>
#include <utility>
#ifndef IVQA_ZLIB_COMPRESSOR_ONLY
#include <libdeflate.h>
#endif

namespace {

#ifndef IVQA_ZLIB_COMPRESSOR_ONLY
// libdeflate's state follows the data it compresses, so it lives in locked
// memory and is wiped when freed. Each block records its own length in
// front of what libdeflate gets.
constexpr std::size_t LengthPrefix = 64;

void* LockedMalloc(std::size_t size)
{
    if (size > std::numeric_limits<std::size_t>::max() - LengthPrefix)
        return nullptr;
    auto* block = static_cast<std::uint8_t*>(SecureAlloc(size + LengthPrefix));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    return block + LengthPrefix;
}

void LockedFree(void* memory)
{
    if (memory == nullptr)
        return;
    auto* block = static_cast<std::uint8_t*>(memory) - LengthPrefix;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    SecureFree(block, size + LengthPrefix);
}

// The allocator is process-wide inside libdeflate and may only change while
// no compressor exists: set once, before the first one.
void UseLockedMemory()
{
    [[maybe_unused]] static const bool installed = [] {
        libdeflate_set_memory_allocator(&LockedMalloc, &LockedFree);
        return true;
    }();
}
#endif

// Ends the zlib compressor on every path out of a block.
class DeflateSession {
public:
    explicit DeflateSession(z_stream* stream) : stream_(stream) {}
    DeflateSession(const DeflateSession&) = delete;
    DeflateSession& operator=(const DeflateSession&) = delete;
    ~DeflateSession()
    {
        if (stream_ != nullptr)
            (void)deflateEnd(stream_);
    }
    int End() { return deflateEnd(std::exchange(stream_, nullptr)); }

private:
    z_stream* stream_;
};

CoreResult ZlibCompress(const std::uint8_t* plain, std::size_t length, std::uint8_t* packed, int level,
                        z_stream& stream, std::uint32_t* packedLength)
{
    stream = z_stream{};
    UseWipingAllocator(stream); // zlib's window holds the block's plaintext
    const int init = deflateInit(&stream, level);
    if (init == Z_MEM_ERROR)
        return IQ_OUT_OF_MEMORY;
    if (init != Z_OK)
        return IQ_COMPRESSION_ERROR;
    DeflateSession session(&stream);
    const std::size_t capacity = PackedCapacity(length);
    stream.next_in = const_cast<std::uint8_t*>(plain);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = packed;
    stream.avail_out = static_cast<uInt>(capacity);
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return IQ_COMPRESSION_ERROR;
    *packedLength = static_cast<std::uint32_t>(capacity - stream.avail_out);
    return session.End() == Z_OK ? IQ_OK : IQ_COMPRESSION_ERROR;
}

} // namespace

#ifdef IVQA_ZLIB_COMPRESSOR_ONLY
// Builds without libdeflate (Windows): zlib makes every stream.
BlockCompressor::~BlockCompressor() = default;

bool BlockCompressor::Prepare(int level)
{
    level_ = level;
    return true;
}

CoreResult BlockCompressor::Compress(const std::uint8_t* plain, std::size_t length, std::uint8_t* packed,
                                     std::size_t /*capacity*/, z_stream& fallback, std::uint32_t* packedLength)
{
    return ZlibCompress(plain, length, packed, level_, fallback, packedLength);
}
#else
BlockCompressor::~BlockCompressor()
{
    libdeflate_free_compressor(compressor_);
}

bool BlockCompressor::Prepare(int level)
{
    if (compressor_ != nullptr && level_ == level)
        return true;
    libdeflate_free_compressor(std::exchange(compressor_, nullptr));
    UseLockedMemory();
    compressor_ = libdeflate_alloc_compressor(level);
    level_ = level;
    return compressor_ != nullptr;
}

CoreResult BlockCompressor::Compress(const std::uint8_t* plain, std::size_t length, std::uint8_t* packed,
                                     std::size_t capacity, z_stream& fallback, std::uint32_t* packedLength)
{
    const std::size_t written = libdeflate_zlib_compress(compressor_, plain, length, packed, capacity);
    if (written != 0 && written <= PackedCapacity(length)) {
        *packedLength = static_cast<std::uint32_t>(written);
        return IQ_OK;
    }
    return ZlibCompress(plain, length, packed, level_, fallback, packedLength);
}
#endif
