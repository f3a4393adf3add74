#pragma once
// The page-level calls behind the secure memory: one backend per platform.

#include <cstddef>

std::size_t SystemPageSize();
// Whole pages of their own, zero-filled; null on failure.
void* AllocatePages(std::size_t bytes);
void FreePages(void* memory, std::size_t bytes);
// Locked against paging and kept out of crash dumps where the platform
// writes them; failures are ignored (the limits are the system's).
void LockPages(void* first, std::size_t bytes);
void UnlockPages(void* first, std::size_t bytes);
// A wipe the compiler cannot drop.
void WipeBytes(void* memory, std::size_t size);
