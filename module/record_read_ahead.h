#pragma once
// Runs the reading stage on a thread of its own, ahead of the caller's
// thread, which takes the items strictly in archive order. The reading stage
// stops at the first End item, so nothing past an error is ever read. At
// most ItemSlots items are in flight, each with room for a small block of
// its own, and at most BlockSlots blocks larger than that, so memory does
// not grow with the archive. Without a second processor (or a thread to
// start) the caller's thread reads each item itself when it takes it.

#include "module/record_reader.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class RecordReadAhead final : private PackedBlockSpace {
public:
    RecordReadAhead(RecordReader& reader, bool threaded);
    RecordReadAhead(const RecordReadAhead&) = delete;
    RecordReadAhead& operator=(const RecordReadAhead&) = delete;
    // Stops the reading thread and waits for it, wherever the run stands;
    // wipes and frees the block buffers.
    ~RecordReadAhead();

    // The next item in archive order, the caller's until Release, which
    // comes before the next Take.
    StreamItem& Take();
    // Done with the item taken last: its block bytes are wiped.
    void Release();

private:
    // A small file's block fits its item's own room: the reader then runs
    // many files ahead, and the threads meet once per several files rather
    // than at every block.
    static constexpr std::uint64_t ItemSlots = 64;
    static constexpr std::size_t SmallBlockBytes = 16 * 1024;
    static constexpr std::uint64_t BlockSlots = 3;

    void ReadOne(std::uint64_t slot);
    std::uint8_t* Reserve(std::size_t length) override;
    void WaitForRoom(std::uint64_t produced);
    template <typename Ready>
    void Sleep(std::atomic<bool>& waits, std::condition_variable& wake, Ready ready);
    void Wake(std::atomic<bool>& waits, std::condition_variable& wake);
    void Run() noexcept;
    void ReadUntilEndOrStop();

    RecordReader& reader_;
    StreamItem items_[ItemSlots];
    // Whether an item's block holds one of blocks_; written by the reading
    // side before the item is handed over.
    bool inBlockSlot_[ItemSlots] = {};
    std::uint64_t reading_ = 0;             // the slot being read
    std::uint8_t* smallBlocks_ = nullptr; // ItemSlots * SmallBlockBytes
    std::uint8_t* blocks_[BlockSlots] = {};

    // One writer each: the reading thread counts what it produced, the
    // caller what it handed back. A side sleeps only when it must wait and
    // says so first, so the hand-over of each item costs no system call
    // while both are busy. No spinning: on a busy machine a yield hands the
    // processor to other work for a whole time slice.
    std::atomic<std::uint64_t> produced_{0};
    std::atomic<std::uint64_t> released_{0};
    std::uint64_t blocksProduced_ = 0; // the reading thread's alone
    std::atomic<std::uint64_t> blocksReleased_{0};
    std::atomic<bool> readerWaits_{false};
    std::atomic<bool> callerWaits_{false};
    std::atomic<bool> stopping_{false};
    bool ownThread_ = false;
    std::mutex sleepMutex_;
    std::condition_variable readerWake_;
    std::condition_variable callerWake_;
    std::thread thread_;
};
