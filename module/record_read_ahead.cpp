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
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        readable_.notify_one();
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
        ++produced_;
        return items_[0];
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (produced_ == released_) {
        callerWaits_ = true;
        takeable_.wait(lock, [this] { return produced_ > released_; });
        callerWaits_ = false;
    }
    return items_[released_ % ItemSlots];
}

void RecordReadAhead::Release()
{
    if (!thread_.joinable()) {
        StreamItem& item = items_[0];
        if (item.kind == StreamItemKind::Block)
            SecureWipe(item.packed, item.packedLength);
        ++released_;
        return;
    }
    StreamItem& item = items_[released_ % ItemSlots];
    const bool block = item.kind == StreamItemKind::Block;
    if (block)
        SecureWipe(item.packed, item.packedLength);
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++released_;
        if (block)
            ++blocksReleased_;
        wake = readerWaits_ && CanRead();
    }
    if (wake)
        readable_.notify_one();
}

// Once it had to wait, the reader goes on only when half the items are free
// again: one wake-up per few small records rather than one for each.
bool RecordReadAhead::CanRead() const
{
    if (stopping_)
        return true;
    if (reader_.NextIsBlock() && blocksProduced_ - blocksReleased_ >= BlockSlots)
        return false;
    return produced_ - released_ <= (readerWaits_ ? ItemSlots / 2 : ItemSlots - 1);
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
    for (;;) {
        std::uint64_t slot = 0;
        std::uint64_t blockIndex = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!CanRead()) {
                readerWaits_ = true;
                readable_.wait(lock, [this] { return CanRead(); });
                readerWaits_ = false;
            }
            if (stopping_)
                return;
            slot = produced_ % ItemSlots;
            blockIndex = blocksProduced_;
        }
        // The caller only reads slots below produced_, so this one is ours.
        StreamItem& item = items_[slot];
        ReadOne(item, blockIndex);
        const bool end = item.kind == StreamItemKind::End;
        bool wake = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++produced_;
            if (item.kind == StreamItemKind::Block)
                ++blocksProduced_;
            wake = callerWaits_;
        }
        if (wake)
            takeable_.notify_one();
        if (end)
            return;
    }
}
