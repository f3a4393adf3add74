#include "platform/memory_pages.h"

#include <windows.h>

std::size_t SystemPageSize()
{
    static const std::size_t size = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return size;
}

void* AllocatePages(std::size_t bytes)
{
    // Committed pages come zero-filled.
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* memory, std::size_t)
{
    VirtualFree(memory, 0, MEM_RELEASE);
}

void LockPages(void* first, std::size_t bytes)
{
    (void)VirtualLock(first, bytes);
}

void UnlockPages(void* first, std::size_t bytes)
{
    (void)VirtualUnlock(first, bytes);
}

void WipeBytes(void* memory, std::size_t size)
{
    SecureZeroMemory(memory, size);
}
