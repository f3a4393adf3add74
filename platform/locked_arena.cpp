#include "platform/locked_arena.h"

#include "platform/memory_pages.h"
#include "platform/spin_lock.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace {

// Small states share a region; a block buffer of a megabyte or more gets one
// of its own, which its free list then keeps for the next file.
constexpr std::size_t RegionBytes = 256 * 1024;
// Larger requests are rare and of varying size: kept out, so that the arena
// never pins what a single use needed.
constexpr std::size_t LargestBlock = 8 * 1024 * 1024;
constexpr std::size_t MaxRegions = 128;
constexpr std::size_t MaxSizeClasses = 64;

struct Region {
    std::uint8_t* base;
    std::size_t bytes;
};

// A free block holds the address of the next one of its class in its first
// bytes; everything else in it is zero.
struct FreeLink {
    FreeLink* next;
};

struct SizeClass {
    std::size_t pages;
    FreeLink* head;
};

class Arena {
public:
    void* Allocate(std::size_t size)
    {
        const std::size_t page = SystemPageSize();
        const std::size_t pages = (size == 0 ? 1 : (size + page - 1) / page);
        if (pages * page > LargestBlock)
            return nullptr;
        const std::lock_guard<SpinLock> guard(lock_);
        SizeClass* sizeClass = ClassOf(pages, true);
        if (sizeClass == nullptr)
            return nullptr;
        if (FreeLink* block = sizeClass->head) {
            sizeClass->head = block->next;
            block->next = nullptr;
            ++inUse_;
            return block;
        }
        void* block = Carve(pages * page);
        if (block != nullptr)
            ++inUse_;
        return block;
    }

    bool Release(void* memory, std::size_t size, ArenaObserver observer)
    {
        const std::size_t page = SystemPageSize();
        const std::size_t pages = (size == 0 ? 1 : (size + page - 1) / page);
        {
            const std::lock_guard<SpinLock> guard(lock_);
            if (!Owns(memory))
                return false;
        }
        // Only the requested bytes can have been written: the rest of the
        // pages is still zero from the region or from the last wipe.
        WipeBytes(memory, size == 0 ? 1 : size);
        if (observer != nullptr)
            observer(memory, pages * page);
        const std::lock_guard<SpinLock> guard(lock_);
        SizeClass* sizeClass = ClassOf(pages, false);
        auto* link = static_cast<FreeLink*>(memory);
        link->next = sizeClass->head;
        sizeClass->head = link;
        --inUse_;
        return true;
    }

    void ReleaseAll()
    {
        const std::lock_guard<SpinLock> guard(lock_);
        if (inUse_ != 0)
            return;
        for (std::size_t i = 0; i < regionCount_; ++i) {
            WipeBytes(regions_[i].base, regions_[i].bytes);
            UnlockPages(regions_[i].base, regions_[i].bytes);
            FreePages(regions_[i].base, regions_[i].bytes);
            regions_[i] = {};
        }
        regionCount_ = 0;
        for (std::size_t i = 0; i < classCount_; ++i)
            classes_[i] = {};
        classCount_ = 0;
        current_ = nullptr;
        left_ = 0;
    }

private:
    SizeClass* ClassOf(std::size_t pages, bool insert)
    {
        for (std::size_t i = 0; i < classCount_; ++i)
            if (classes_[i].pages == pages)
                return &classes_[i];
        if (!insert || classCount_ == MaxSizeClasses)
            return nullptr;
        classes_[classCount_] = {pages, nullptr};
        return &classes_[classCount_++];
    }

    bool Owns(const void* memory) const
    {
        const auto address = reinterpret_cast<std::uintptr_t>(memory);
        for (std::size_t i = 0; i < regionCount_; ++i) {
            const auto base = reinterpret_cast<std::uintptr_t>(regions_[i].base);
            if (address >= base && address < base + regions_[i].bytes)
                return true;
        }
        return false;
    }

    std::uint8_t* AddRegion(std::size_t bytes)
    {
        if (regionCount_ == MaxRegions)
            return nullptr;
        auto* base = static_cast<std::uint8_t*>(AllocatePages(bytes));
        if (base == nullptr)
            return nullptr;
        LockPages(base, bytes);
        regions_[regionCount_++] = {base, bytes};
        return base;
    }

    void* Carve(std::size_t bytes)
    {
        if (bytes > RegionBytes / 4)
            return AddRegion(bytes);
        if (bytes > left_) {
            // The rest of the current region stays locked and unused: less
            // than the largest block a shared region serves.
            current_ = AddRegion(RegionBytes);
            if (current_ == nullptr) {
                left_ = 0;
                return nullptr;
            }
            left_ = RegionBytes;
        }
        void* block = current_;
        current_ += bytes;
        left_ -= bytes;
        return block;
    }

    SpinLock lock_;
    Region regions_[MaxRegions] = {};
    std::size_t regionCount_ = 0;
    SizeClass classes_[MaxSizeClasses] = {};
    std::size_t classCount_ = 0;
    std::uint8_t* current_ = nullptr;
    std::size_t left_ = 0;
    std::size_t inUse_ = 0;
};

constinit Arena g_arena;

// The process's last wipe of the arena, once every owner has given back
// its blocks.
struct ReleaseAtExit {
    ~ReleaseAtExit() { g_arena.ReleaseAll(); }
} g_releaseAtExit;

} // namespace

void* ArenaAllocate(std::size_t size)
{
    return g_arena.Allocate(size);
}

bool ArenaRelease(void* memory, std::size_t size, ArenaObserver observer)
{
    return g_arena.Release(memory, size, observer);
}

void ArenaReleaseAll()
{
    g_arena.ReleaseAll();
}
