#include "platform/memory_pages.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

std::size_t SystemPageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

void* AllocatePages(std::size_t bytes)
{
    void* memory = std::aligned_alloc(SystemPageSize(), bytes);
    if (memory != nullptr)
        std::memset(memory, 0, bytes);
    return memory;
}

void FreePages(void* memory, std::size_t)
{
    std::free(memory);
}

void LockPages(void* first, std::size_t bytes)
{
    (void)mlock(first, bytes);
    (void)madvise(first, bytes, MADV_DONTDUMP);
}

void UnlockPages(void* first, std::size_t bytes)
{
    (void)munlock(first, bytes);
    (void)madvise(first, bytes, MADV_DODUMP);
}

void WipeBytes(void* memory, std::size_t size)
{
    explicit_bzero(memory, size);
}
