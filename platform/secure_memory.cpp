#include "platform/secure_memory.h"

#include "platform/locked_arena.h"
#include "platform/memory_pages.h"
#include "platform/spin_lock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

namespace {

std::atomic<SecureFreeObserver> g_freeObserver{nullptr};

std::size_t RoundToPages(std::size_t size)
{
    const std::size_t page = SystemPageSize();
    return (size + page - 1) / page * page;
}

// Locks act on whole pages, and page locks do not nest: one
// unlock undoes every lock of the page. Caller buffers (stack arrays,
// members) often share a page with other locked data, so each page keeps a
// count of the locked ranges on it and is unlocked only when the last goes.
// A fixed table: no allocation, nothing to destroy at exit.
class PageLocks {
public:
    void Lock(void* memory, std::size_t size)
    {
        const auto [first, last] = Pages(memory, size);
        const std::lock_guard<SpinLock> guard(mutex_);
        for (std::uintptr_t page = first; page < last; page += SystemPageSize()) {
            if (Entry* entry = Find(page, true))
                ++entry->count;
            else
                // A page that cannot be counted could hold someone else's
                // locked data: from now on nothing is ever unlocked.
                pinned_ = true;
        }
        LockPages(reinterpret_cast<void*>(first), last - first);
    }

    void Unlock(void* memory, std::size_t size)
    {
        const auto [first, last] = Pages(memory, size);
        const std::lock_guard<SpinLock> guard(mutex_);
        for (std::uintptr_t page = first; page < last; page += SystemPageSize()) {
            Entry* entry = Find(page, false);
            if (entry == nullptr || --entry->count > 0)
                continue;
            entry->page = Tombstone;
            if (!pinned_)
                UnlockPages(reinterpret_cast<void*>(page), SystemPageSize());
        }
    }

private:
    struct Entry {
        std::uintptr_t page;
        std::size_t count;
    };
    static constexpr std::size_t Capacity = 4096; // pages; a power of two
    static constexpr std::uintptr_t Empty = 0;
    static constexpr std::uintptr_t Tombstone = 1; // never a page address

    static std::pair<std::uintptr_t, std::uintptr_t> Pages(void* memory, std::size_t size)
    {
        const auto page = static_cast<std::uintptr_t>(SystemPageSize());
        const auto begin = reinterpret_cast<std::uintptr_t>(memory) & ~(page - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(memory) + size + page - 1) & ~(page - 1);
        return {begin, end};
    }

    // Open addressing; with `insert` a missing page takes the first free
    // slot on its probe path. Null when absent (or the table is full).
    Entry* Find(std::uintptr_t page, bool insert)
    {
        Entry* freeSlot = nullptr;
        std::size_t slot = (page / SystemPageSize()) & (Capacity - 1);
        for (std::size_t probe = 0; probe < Capacity; ++probe, slot = (slot + 1) & (Capacity - 1)) {
            Entry& entry = entries_[slot];
            if (entry.page == page)
                return &entry;
            if (entry.page == Tombstone && freeSlot == nullptr)
                freeSlot = &entry;
            if (entry.page == Empty) {
                if (freeSlot == nullptr)
                    freeSlot = &entry;
                break;
            }
        }
        if (!insert || freeSlot == nullptr)
            return nullptr;
        *freeSlot = {page, 0};
        return freeSlot;
    }

    SpinLock mutex_;
    Entry entries_[Capacity] = {};
    bool pinned_ = false;
};

constinit PageLocks g_pageLocks;

PageLocks& Locks()
{
    return g_pageLocks;
}

} // namespace

void SecureWipe(void* memory, std::size_t size)
{
    if (memory != nullptr && size != 0)
        WipeBytes(memory, size);
}

namespace {

// Deeper than any frame chain of the crypto, key derivation and zlib calls
// below an export.
constexpr std::size_t ScrubbedStackBytes = 64 * 1024;

[[gnu::noinline]] void ScrubStack()
{
    unsigned char area[ScrubbedStackBytes];
    WipeBytes(area, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

void ClearVectorRegisters()
{
#if defined(__x86_64__)
    // glibc's string functions use the upper sixteen on these processors
    // (without VZEROUPPER); code of ours is not built for them, so the
    // compiler holds nothing there.
    if (__builtin_cpu_supports("avx512f"))
        asm volatile("vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"
                     "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"
                     "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"
                     "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"
                     "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"
                     "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"
                     "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"
                     "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31" ::: "memory");
    if (__builtin_cpu_supports("avx"))
        asm volatile("vzeroall" ::: "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
                     "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
    else
        asm volatile("pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
                     "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
                     "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
                     "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
                     "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
                     "pxor %%xmm15, %%xmm15" ::: "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7",
                     "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
#endif
}

} // namespace

void SecureScrubStackAndRegisters()
{
    ClearVectorRegisters();
    ScrubStack();
    ClearVectorRegisters(); // the wipe itself runs in vector registers
}

void SecureLock(void* memory, std::size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    Locks().Lock(memory, size);
}

void SecureWipeAndUnlock(void* memory, std::size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    SecureWipe(memory, size);
    Locks().Unlock(memory, size);
}

void* SecureAlloc(std::size_t size)
{
    if (void* memory = ArenaAllocate(size))
        return memory;
    // Whole pages of its own: no other data shares them, so they are locked
    // and unlocked directly, without the page counts.
    const std::size_t rounded = RoundToPages(size == 0 ? 1 : size);
    void* memory = AllocatePages(rounded);
    if (memory == nullptr)
        return nullptr;
    LockPages(memory, rounded);
    return memory;
}

void SecureFree(void* memory, std::size_t size)
{
    if (memory == nullptr)
        return;
    if (ArenaRelease(memory, size, g_freeObserver.load()))
        return;
    const std::size_t rounded = RoundToPages(size == 0 ? 1 : size);
    WipeBytes(memory, rounded);
    UnlockPages(memory, rounded);
    if (SecureFreeObserver observer = g_freeObserver.load())
        observer(memory, rounded);
    FreePages(memory, rounded);
}

void SetSecureFreeObserver(SecureFreeObserver observer)
{
    g_freeObserver.store(observer);
}
