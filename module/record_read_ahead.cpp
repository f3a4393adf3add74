#include "module/record_read_ahead.h"

#include "platform/processor_count.h"
#include "platform/secure_memory.h"

#include <new>
#include <system_error>

RecordReadAhead::RecordReadAhead(RecordReader& reader, bool threaded) : reader_(reader)
{
    if (!threaded || UsableProcessorCount() < 2)
        return;
    try {
        thread_ = std::thread(&RecordReadAhead::Run, this);
    } catch (const std::system_error&) {
        // Read on the caller's thread instead.
    }
}

RecordReadAhead::~RecordReadAhead()
{
    if (thread_.joinable()) {
        stopping_.store(true);
        // The reading thread may sleep until the caller hands an item back;
        // the caller never will again, so the count moves for its sake.
        released_.fetch_add(ItemSlots);
        released_.notify_one();
        thread_.join();
    }
    for (std::uint8_t*& block : blocks_) {
        SecureFree(block, MaxPackedBlock);
        block = nullptr;
    }
}

// Block buffers are taken in a ring, in the order blocks are read and
// handed back; each is allocated when it is first needed.
void RecordReadAhead::ReadOne(StreamItem& item, std::uint64_t blockIndex)
{
    item = StreamItem{};
    if (reader_.NextIsBlock()) {
        std::uint8_t*& block = blocks_[blockIndex % BlockSlots];
        if (block == nullptr)
            block = static_cast<std::uint8_t*>(SecureAlloc(MaxPackedBlock));
        item.packed = block; // null: the reader ends with OutOfMemory
    }
    try {
        reader_.Next(item);
    } catch (const std::bad_alloc&) {
        item.kind = StreamItemKind::End;
        item.result = ExtractResult::OutOfMemory;
    }
}

StreamItem& RecordReadAhead::Take()
{
    if (!thread_.joinable()) {
        ReadOne(items_[0], 0);
        return items_[0];
    }
    const std::uint64_t taken = released_.load(std::memory_order_relaxed);
    std::uint64_t produced = produced_.load(std::memory_order_acquire);
    if (produced == taken) {
        callerWaits_.store(true);
        while ((produced = produced_.load()) == taken)
            produced_.wait(produced);
        callerWaits_.store(false);
    }
    return items_[taken % ItemSlots];
}

void RecordReadAhead::Release()
{
    StreamItem& item = items_[thread_.joinable() ? released_.load(std::memory_order_relaxed) % ItemSlots : 0];
    const bool block = item.kind == StreamItemKind::Block;
    if (block)
        SecureWipe(item.packed, item.packedLength);
    if (!thread_.joinable())
        return;
    if (block)
        blocksReleased_.fetch_add(1);
    const std::uint64_t released = released_.fetch_add(1) + 1;
    // A waiting reader goes on once half the items are free again (or a
    // block buffer is): one wake-up per few small records, not one for each.
    if (readerWaits_.load() && (block || produced_.load() - released <= ItemSlots / 2))
        released_.notify_one();
}

void RecordReadAhead::WaitForRoom(std::uint64_t produced)
{
    const auto room = [&](std::uint64_t released, std::uint64_t limit) {
        if (stopping_.load())
            return true;
        if (reader_.NextIsBlock() && blocksProduced_ - blocksReleased_.load() >= BlockSlots)
            return false;
        return produced - released < limit;
    };
    std::uint64_t released = released_.load();
    if (room(released, ItemSlots))
        return;
    readerWaits_.store(true);
    while (!room(released = released_.load(), ItemSlots / 2 + 1))
        released_.wait(released);
    readerWaits_.store(false);
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
        StreamItem& item = items_[produced % ItemSlots];
        ReadOne(item, blocksProduced_);
        const bool end = item.kind == StreamItemKind::End;
        if (item.kind == StreamItemKind::Block)
            ++blocksProduced_;
        produced_.store(produced + 1);
        if (callerWaits_.load())
            produced_.notify_one();
        if (end)
            return;
    }
}
