#include "core/direct_output.h"

#include "core/block_pipeline.h"

#include <cerrno>
#include <memory>

namespace {

// The caller's thread makes and writes every block.
CoreResult WriteBlocksInTurn(SdaContext& context, int input, std::uint64_t blockCount, int level)
{
    if (!context.compressor.Prepare(level))
        return IQ_OUT_OF_MEMORY;
    PackedBlock& block = context.buffers[0];
    for (std::uint64_t index = 0; index < blockCount; ++index) {
        if (const CoreResult result = PrepareBlock(input, context.compressor, block); result != IQ_OK)
            return result;
        if (const CoreResult result = WriteDataBlock(context, block.crc, block.packed, block.packedLength);
            result != IQ_OK)
            return result;
        context.ReportStep();
    }
    return IQ_OK;
}

// The helpers make the blocks ahead while this thread writes them in order.
// Leaving by any path, a throwing callback included, stops and joins the
// helpers before the file is closed.
CoreResult WriteBlocks(SdaContext& context, UniqueFd input, std::uint64_t size, std::uint64_t blockCount, int level)
{
    const unsigned helpers = context.parallel && blockCount > 1 ? UsableHelpers() : 0;
    if (helpers == 0 || !context.PrepareRings(helpers))
        return WriteBlocksInTurn(context, input.Get(), blockCount, level);
    BlockPipeline pipeline(context.ring, context.smallRing, helpers);
    if (!pipeline.Start())
        return WriteBlocksInTurn(context, input.Get(), blockCount, level);
    const SharedInput shared = std::make_shared<const UniqueFd>(std::move(input));
    std::uint64_t submitted = 0;
    for (std::uint64_t index = 0; index < blockCount; ++index) {
        while (submitted < blockCount && pipeline.Submit(shared, size, submitted, level, false))
            ++submitted;
        // Never empty: every block handed back made room for the next.
        const std::optional<TakenBlock> block = pipeline.Take();
        if (const CoreResult result = WriteTakenBlock(context, pipeline, *block); result != IQ_OK)
            return result;
    }
    return IQ_OK;
}

} // namespace

CoreResult WriteTakenBlock(SdaContext& context, BlockPipeline& pipeline, const TakenBlock& block)
{
    if (block.result != IQ_OK) {
        errno = block.error;
        return block.result;
    }
    const CoreResult result = WriteDataBlock(context, block.crc, block.packed, block.packedLength);
    pipeline.Release();
    if (result != IQ_OK)
        return result;
    context.ReportStep();
    return IQ_OK;
}

void DirectOutput::Name(const char16_t* name)
{
    context_.ReportName(name);
}

CoreResult DirectOutput::SkipOrFail(const char16_t* name, CoreResult refusal)
{
    return context_.AskSkip(name) ? static_cast<CoreResult>(IQ_OK) : refusal;
}

void DirectOutput::Range(std::uint64_t blocks)
{
    context_.ReportRange(blocks);
}

CoreResult DirectOutput::DirEnter(std::uint64_t creationTime, std::u16string_view name)
{
    return WriteDirEnterRecord(context_, creationTime, name);
}

CoreResult DirectOutput::DirLeave()
{
    return WriteDirLeaveRecord(context_);
}

CoreResult DirectOutput::File(const FileRecordFields& fields, std::u16string_view name, UniqueFd input, int level)
{
    if (const CoreResult result = WriteFileRecord(context_, fields, name); result != IQ_OK)
        return result;
    if (fields.blockCount == 0)
        return IQ_OK;
    return WriteBlocks(context_, std::move(input), fields.size, fields.blockCount, level);
}
