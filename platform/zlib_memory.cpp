#include "platform/zlib_memory.h"

#include "platform/secure_memory.h"

#include <cstddef>
#include <cstring>
#include <limits>

namespace {

// Each block starts with its own size, which zfree is not given.
constexpr std::size_t Prefix = 16;

voidpf WipingAlloc(voidpf, uInt items, uInt size)
{
    const std::size_t bytes = static_cast<std::size_t>(items) * size;
    if (items != 0 && bytes / items != size)
        return Z_NULL;
    if (bytes > std::numeric_limits<std::size_t>::max() - Prefix)
        return Z_NULL;
    auto* block = static_cast<unsigned char*>(SecureAlloc(Prefix + bytes));
    if (block == nullptr)
        return Z_NULL;
    std::memcpy(block, &bytes, sizeof bytes);
    return block + Prefix;
}

void WipingFree(voidpf, voidpf address)
{
    if (address == Z_NULL)
        return;
    auto* block = static_cast<unsigned char*>(address) - Prefix;
    std::size_t bytes = 0;
    std::memcpy(&bytes, block, sizeof bytes);
    SecureFree(block, Prefix + bytes);
}

} // namespace

void UseWipingAllocator(z_stream& stream)
{
    stream.zalloc = &WipingAlloc;
    stream.zfree = &WipingFree;
    stream.opaque = Z_NULL;
}
