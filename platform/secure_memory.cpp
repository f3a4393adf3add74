#include "platform/secure_memory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::atomic<SecureFreeObserver> g_freeObserver{nullptr};

std::size_t PageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundToPages(std::size_t size)
{
    const std::size_t page = PageSize();
    return (size + page - 1) / page * page;
}

// mlock and madvise act on whole pages; widen the range to the pages it touches.
void PageRange(void* memory, std::size_t size, void** start, std::size_t* length)
{
    const auto page = static_cast<std::uintptr_t>(PageSize());
    const auto begin = reinterpret_cast<std::uintptr_t>(memory) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + size + page - 1) & ~(page - 1);
    *start = reinterpret_cast<void*>(begin);
    *length = end - begin;
}

} // namespace

void SecureWipe(void* memory, std::size_t size)
{
    if (memory != nullptr && size != 0)
        explicit_bzero(memory, size);
}

void SecureLock(void* memory, std::size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    void* start = nullptr;
    std::size_t length = 0;
    PageRange(memory, size, &start, &length);
    (void)mlock(start, length);
    (void)madvise(start, length, MADV_DONTDUMP);
}

void SecureWipeAndUnlock(void* memory, std::size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    SecureWipe(memory, size);
    void* start = nullptr;
    std::size_t length = 0;
    PageRange(memory, size, &start, &length);
    (void)munlock(start, length);
}

void* SecureAlloc(std::size_t size)
{
    // Whole pages of its own, so that unlocking one block never unlocks a
    // neighbour that shares its page (locks do not nest).
    const std::size_t rounded = RoundToPages(size == 0 ? 1 : size);
    void* memory = std::aligned_alloc(PageSize(), rounded);
    if (memory == nullptr)
        return nullptr;
    std::memset(memory, 0, rounded);
    (void)mlock(memory, rounded);
    (void)madvise(memory, rounded, MADV_DONTDUMP);
    return memory;
}

void SecureFree(void* memory, std::size_t size)
{
    if (memory == nullptr)
        return;
    const std::size_t rounded = RoundToPages(size == 0 ? 1 : size);
    explicit_bzero(memory, rounded);
    (void)munlock(memory, rounded);
    (void)madvise(memory, rounded, MADV_DODUMP);
    if (SecureFreeObserver observer = g_freeObserver.load())
        observer(memory, rounded);
    std::free(memory);
}

void SetSecureFreeObserver(SecureFreeObserver observer)
{
    g_freeObserver.store(observer);
}
