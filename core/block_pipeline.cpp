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

// Small blocks queued before the helpers are woken for them.
constexpr std::uint64_t HelperBatch = 8;

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

BlockPipeline::BlockPipeline(BlockBuffers& ring, SmallBlockBuffers& small, unsigned helpers)
    : ring_(ring), small_(small), helpers_(helpers), jobs_(BlocksInFlight)
{
    for (std::size_t whole = RingBlocks(helpers); whole-- > 0;)
        freeWhole_.push_back(static_cast<int>(whole));
}

BlockPipeline::~BlockPipeline()
{
    Stop();
    for (std::thread& thread : threads_)
        thread.join();
}

bool BlockPipeline::Start()
{
    if (ring_.Count() < RingBlocks(helpers_) || small_.Count() < BlocksInFlight)
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

void BlockPipeline::WakeHelpers()
{
    if (claimed_ < submitted_)
        work_.notify_all();
}

bool BlockPipeline::Submit(const SharedInput& input, std::uint64_t size, std::uint64_t index, int level,
                           bool wait) noexcept
{
    const std::uint64_t offset = index * BlockSize;
    const auto expected =
        static_cast<std::uint32_t>(size > offset ? std::min<std::uint64_t>(size - offset, BlockSize) : 0);
    const bool small = expected <= SmallBlockSize;
    std::unique_lock lock(mutex_);
    const auto hasRoom = [&] { return submitted_ - released_ < BlocksInFlight && (small || !freeWhole_.empty()); };
    if (wait && !stopping_ && !hasRoom()) {
        // Whatever is queued must get going while this thread waits.
        WakeHelpers();
        producerWaiting_ = true;
        room_.wait(lock, [&] { return stopping_ || hasRoom(); });
        producerWaiting_ = false;
    }
    if (stopping_ || !hasRoom())
        return false;
    Job& job = jobs_[submitted_ % BlocksInFlight];
    job.input = input;
    job.index = index;
    job.expected = expected;
    job.level = level;
    job.ready = false;
    job.whole = -1;
    if (!small) {
        job.whole = freeWhole_.back();
        freeWhole_.pop_back();
    }
    ++submitted_;
    if (!small || submitted_ - claimed_ >= HelperBatch || callerWaiting_)
        work_.notify_one();
    return true;
}

std::optional<TakenBlock> BlockPipeline::Take()
{
    std::unique_lock lock(mutex_);
    Job& job = jobs_[taken_ % BlocksInFlight];
    const auto available = [&] { return (taken_ < submitted_ && job.ready) || (finished_ && taken_ == submitted_); };
    if (!available()) {
        WakeHelpers();
        callerWaiting_ = true;
        ready_.wait(lock, available);
        callerWaiting_ = false;
    }
    if (taken_ == submitted_)
        return std::nullopt;
    const BlockOutcome& outcome =
        job.whole >= 0 ? static_cast<const BlockOutcome&>(ring_[static_cast<std::size_t>(job.whole)])
                       : static_cast<const BlockOutcome&>(small_[taken_ % BlocksInFlight]);
    std::uint8_t* const packed =
        job.whole >= 0 ? ring_[static_cast<std::size_t>(job.whole)].packed : small_[taken_ % BlocksInFlight].packed;
    ++taken_;
    return TakenBlock{packed, outcome.packedLength, outcome.crc, outcome.result, outcome.error};
}

void BlockPipeline::Release()
{
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        Job& job = jobs_[released_ % BlocksInFlight];
        if (job.whole >= 0)
            freeWhole_.push_back(job.whole);
        job.ready = false;
        ++released_;
        // The producer wakes for a whole block, or for a run of small ones.
        wake = producerWaiting_ && (job.whole >= 0 || submitted_ - released_ + HelperBatch <= BlocksInFlight);
    }
    if (wake)
        room_.notify_one();
}

void BlockPipeline::Finish() noexcept
{
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        WakeHelpers();
    }
    ready_.notify_all();
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
    // Small blocks are claimed a few at a time, whole ones alone.
    constexpr std::size_t MaxClaimed = 4;
    Job claimed[MaxClaimed];
    for (;;) {
        std::uint64_t first = 0;
        std::size_t count = 0;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || claimed_ < submitted_; });
            if (stopping_)
                break;
            first = claimed_;
            while (count < MaxClaimed && claimed_ < submitted_) {
                Job& queued = jobs_[claimed_ % BlocksInFlight];
                if (count > 0 && queued.whole >= 0)
                    break;
                Job& job = claimed[count++];
                job.input = std::move(queued.input);
                job.index = queued.index;
                job.expected = queued.expected;
                job.level = queued.level;
                job.whole = queued.whole;
                ++claimed_;
                if (job.whole >= 0)
                    break;
            }
        }
        // The blocks are this helper's alone until they are marked ready.
        for (std::size_t k = 0; k < count; ++k) {
            Job& job = claimed[k];
            const std::uint64_t sequence = first + k;
            BlockOutcome& outcome = job.whole >= 0
                                        ? static_cast<BlockOutcome&>(ring_[static_cast<std::size_t>(job.whole)])
                                        : static_cast<BlockOutcome&>(small_[sequence % BlocksInFlight]);
            if (!compressor.Prepare(job.level)) {
                outcome.result = IQ_OUT_OF_MEMORY;
                outcome.error = ENOMEM;
            } else if (job.whole >= 0) {
                PrepareBlockAt(job.input->Get(), job.index * BlockSize, job.expected, compressor,
                               ring_[static_cast<std::size_t>(job.whole)]);
            } else {
                PrepareBlockAt(job.input->Get(), job.index * BlockSize, job.expected, compressor,
                               small_[sequence % BlocksInFlight]);
            }
            job.input.reset();
        }
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            for (std::size_t k = 0; k < count; ++k)
                jobs_[(first + k) % BlocksInFlight].ready = true;
            wake = callerWaiting_ && taken_ >= first && taken_ < first + count;
        }
        if (wake)
            ready_.notify_one();
    }
    for (Job& job : claimed)
        job.input.reset();
    // The stack held plaintext; a later thread may get it as it is.
    SecureScrubStackAndRegisters();
}
