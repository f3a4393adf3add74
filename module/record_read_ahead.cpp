#include "module/record_read_ahead.h"

#include "platform/processor_count.h"
#include "platform/secure_memory.h"

#include <new>
#include <system_error>

RecordReadAhead::RecordReadAhead(RecordReader& reader, bool threaded) : reader_(reader)
{
    if (!threaded || UsableProcessorCount() < 2)
        return;
    // Set before the thread starts: it reads the flag, never thread_.
    ownThread_ = true;
    try {
        thread_ = std::thread(&RecordReadAhead::Run, this);
    } catch (const std::system_error&) {
        ownThread_ = false; // read on the caller's thread instead
    }
}

RecordReadAhead::~RecordReadAhead()
{
    if (thread_.joinable()) {
        stopping_.store(true);
        Wake(readerWaits_, readerWake_);
        thread_.join();
    }
    for (std::uint8_t*& block : blocks_) {
        SecureFree(block, MaxPackedBlock);
        block = nullptr;
    }
    SecureFree(smallBlocks_, ItemSlots * SmallBlockBytes);
    smallBlocks_ = nullptr;
}

void RecordReadAhead::ReadOne(std::uint64_t slot)
{
    StreamItem& item = items_[slot];
    item = StreamItem{};
    inBlockSlot_[slot] = false;
    reading_ = slot;
    try {
        reader_.Next(item, *this);
    } catch (const std::bad_alloc&) {
        item.kind = StreamItemKind::End;
        item.result = ExtractResult::OutOfMemory;
    }
}

// A larger block takes the next of blocks_ in a ring, in the order blocks
// are read and handed back, once one is free; each is allocated when it is
// first needed.
std::uint8_t* RecordReadAhead::Reserve(std::size_t length)
{
    if (length <= SmallBlockBytes) {
        if (smallBlocks_ == nullptr)
            smallBlocks_ = static_cast<std::uint8_t*>(SecureAlloc(ItemSlots * SmallBlockBytes));
        return smallBlocks_ == nullptr ? nullptr : smallBlocks_ + reading_ * SmallBlockBytes;
    }
    if (ownThread_) {
        const auto free = [&] { return stopping_.load() || blocksProduced_ - blocksReleased_.load() < BlockSlots; };
        if (!free())
            Sleep(readerWaits_, readerWake_, free);
        if (stopping_.load())
            return nullptr;
    }
    std::uint8_t*& block = blocks_[blocksProduced_ % BlockSlots];
    if (block == nullptr)
        block = static_cast<std::uint8_t*>(SecureAlloc(MaxPackedBlock));
    if (block == nullptr)
        return nullptr;
    inBlockSlot_[reading_] = true;
    if (ownThread_)
        ++blocksProduced_;
    return block;
}

StreamItem& RecordReadAhead::Take()
{
    if (!thread_.joinable()) {
        ReadOne(0);
        return items_[0];
    }
    const std::uint64_t taken = released_.load(std::memory_order_relaxed);
    if (produced_.load(std::memory_order_acquire) == taken)
        Sleep(callerWaits_, callerWake_, [&] { return produced_.load() != taken; });
    return items_[taken % ItemSlots];
}

void RecordReadAhead::Release()
{
    const std::uint64_t slot = thread_.joinable() ? released_.load(std::memory_order_relaxed) % ItemSlots : 0;
    StreamItem& item = items_[slot];
    if (item.kind == StreamItemKind::Block)
        SecureWipe(item.packed, item.packedLength);
    if (!thread_.joinable())
        return;
    const bool blockSlot = inBlockSlot_[slot];
    if (blockSlot)
        blocksReleased_.fetch_add(1);
    const std::uint64_t released = released_.fetch_add(1) + 1;
    // A waiting reader goes on once half the items are free again (or a
    // block buffer is): one wake-up per many small records, not one for each.
    if (blockSlot || produced_.load() - released <= ItemSlots / 2)
        Wake(readerWaits_, readerWake_);
}

// The flag is set before the condition is checked, and the other side
// changes its count before it reads the flag: one of the two always sees
// the other, so no wake-up is lost.
template <typename Ready>
void RecordReadAhead::Sleep(std::atomic<bool>& waits, std::condition_variable& wake, Ready ready)
{
    std::unique_lock<std::mutex> lock(sleepMutex_);
    waits.store(true);
    while (!ready())
        wake.wait(lock);
    waits.store(false);
}

void RecordReadAhead::Wake(std::atomic<bool>& waits, std::condition_variable& wake)
{
    if (!waits.load())
        return;
    {
        // The sleeper holds the mutex from its flag to its wait.
        const std::lock_guard<std::mutex> lock(sleepMutex_);
    }
    wake.notify_one();
}

void RecordReadAhead::WaitForRoom(std::uint64_t produced)
{
    const auto room = [&](std::uint64_t released, std::uint64_t limit) {
        return stopping_.load() || produced - released < limit;
    };
    if (room(released_.load(), ItemSlots))
        return;
    Sleep(readerWaits_, readerWake_, [&] { return room(released_.load(), ItemSlots / 2 + 1); });
}

void RecordReadAhead::Run() noexcept
{
    ReadUntilEndOrStop();
    // The cipher's key schedule passed through this thread's frames and
    // registers, and its stack outlives it in the thread library's cache.
    SecureScrubStackAndRegisters();
}

void RecordReadAhead::ReadUntilEndOrStop()
{
    for (std::uint64_t produced = 0;; ++produced) {
        WaitForRoom(produced);
        if (stopping_.load())
            return;
        // The caller reads only slots below produced_, so this one is ours.
        ReadOne(produced % ItemSlots);
        if (stopping_.load())
            return;
        const bool end = items_[produced % ItemSlots].kind == StreamItemKind::End;
        produced_.store(produced + 1);
        Wake(callerWaits_, callerWake_);
        if (end)
            return;
    }
}
