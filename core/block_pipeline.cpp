#include "core/block_pipeline.h"

#include <system_error>

BlockPipeline::BlockPipeline(int input, std::uint64_t blockCount, BlockCompressor& compressor,
                             BlockBuffers& buffers)
    : input_(input), blockCount_(blockCount), compressor_(compressor), buffers_(buffers)
{
}

BlockPipeline::~BlockPipeline()
{
    if (!helper_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    helper_.join();
}

bool BlockPipeline::Start()
{
    try {
        helper_ = std::thread(&BlockPipeline::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

PackedBlock& BlockPipeline::Take()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return prepared_ > taken_; });
    return buffers_.blocks[taken_++ % BlocksInFlight];
}

void BlockPipeline::Release()
{
    {
        const std::lock_guard lock(mutex_);
        released_ = taken_;
    }
    changed_.notify_all();
}

void BlockPipeline::Run() noexcept
{
    for (std::uint64_t block = 0; block < blockCount_; ++block) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || block - released_ < BlocksInFlight; });
            if (stopping_)
                return;
        }
        // The slot is the helper's alone until it is counted as prepared.
        PackedBlock& packed = buffers_.blocks[block % BlocksInFlight];
        const CoreResult result = PrepareBlock(input_, compressor_, packed);
        {
            const std::lock_guard lock(mutex_);
            prepared_ = block + 1;
        }
        changed_.notify_all();
        if (result != IQ_OK)
            return;
    }
}
