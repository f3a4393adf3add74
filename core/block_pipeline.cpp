#include "core/block_pipeline.h"

#include "platform/secure_memory.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

namespace {

// A few helpers keep both the compressors busy and the blocks in flight
// few; more cores would wait on the caller's thread anyway.
constexpr unsigned MaxHelpers = 4;

unsigned UsableCores()
{
#ifdef _WIN32
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        return 1;
    unsigned cores = 0;
    for (; process != 0; process &= process - 1)
        ++cores;
    return cores;
#else
    // The affinity mask, not the machine's count: under `taskset -c 0`
    // there is one core to use.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
}

} // namespace

unsigned UsableHelpers()
{
    const unsigned cores = UsableCores();
    return cores < 2 ? 0 : std::min(cores, MaxHelpers);
}

BlockPipeline::BlockPipeline(BlockBuffers& ring, unsigned helpers)
    : ring_(ring), slots_(RingBlocks(helpers)), helpers_(helpers), jobs_(slots_)
{
}

BlockPipeline::~BlockPipeline()
{
    Stop();
    for (std::thread& thread : threads_)
        thread.join();
}

bool BlockPipeline::Start()
{
    if (ring_.Count() < slots_)
        return false;
    try {
        threads_.reserve(helpers_);
        for (unsigned i = 0; i < helpers_; ++i)
            threads_.emplace_back(&BlockPipeline::Run, this);
    } catch (const std::system_error&) {
        // Fewer helpers still work; none means the caller does it all.
    }
    return !threads_.empty();
}

bool BlockPipeline::Submit(const SharedInput& input, std::uint64_t size, std::uint64_t index, int level,
                           bool wait) noexcept
{
    {
        std::unique_lock lock(mutex_);
        const auto hasRoom = [this] { return submitted_ - released_ < slots_; };
        if (wait)
            room_.wait(lock, [&] { return stopping_ || hasRoom(); });
        if (stopping_ || !hasRoom())
            return false;
        Job& job = jobs_[submitted_ % slots_];
        job.input = input;
        job.index = index;
        const std::uint64_t offset = index * BlockSize;
        job.expected = static_cast<std::uint32_t>(size > offset ? std::min<std::uint64_t>(size - offset, BlockSize) : 0);
        job.level = level;
        job.ready = false;
        ++submitted_;
    }
    work_.notify_one();
    return true;
}

PackedBlock* BlockPipeline::Take()
{
    std::unique_lock lock(mutex_);
    const std::size_t slot = taken_ % slots_;
    ready_.wait(lock, [&] { return (taken_ < submitted_ && jobs_[slot].ready) || (finished_ && taken_ == submitted_); });
    if (taken_ == submitted_)
        return nullptr;
    ++taken_;
    return &ring_[slot];
}

void BlockPipeline::Finish() noexcept
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    ready_.notify_all();
}

void BlockPipeline::Release()
{
    {
        const std::lock_guard lock(mutex_);
        jobs_[released_ % slots_].ready = false;
        ++released_;
    }
    room_.notify_one();
}

void BlockPipeline::Stop() noexcept
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    room_.notify_all();
    work_.notify_all();
}

void BlockPipeline::Run() noexcept
{
    // Each helper keeps its own compressor, so levels and states never mix.
    BlockCompressor compressor;
    for (;;) {
        std::size_t slot = 0;
        SharedInput input;
        std::uint64_t index = 0;
        std::uint32_t expected = 0;
        int level = 0;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || claimed_ < submitted_; });
            if (stopping_)
                break;
            slot = claimed_++ % slots_;
            input = std::move(jobs_[slot].input);
            index = jobs_[slot].index;
            expected = jobs_[slot].expected;
            level = jobs_[slot].level;
        }
        // The block is this helper's alone until it is marked ready.
        PackedBlock& block = ring_[slot];
        if (compressor.Prepare(level)) {
            PrepareBlockAt(input->Get(), index * BlockSize, expected, compressor, block);
        } else {
            block.result = IQ_OUT_OF_MEMORY;
            block.error = ENOMEM;
        }
        input.reset();
        {
            const std::lock_guard lock(mutex_);
            jobs_[slot].ready = true;
        }
        ready_.notify_one();
    }
    // The stack held plaintext; a later thread may get it as it is.
    SecureScrubStackAndRegisters();
}
