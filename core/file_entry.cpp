#include "core/archive_entries.h"
#include "core/block_pipeline.h"
#include "core/record_writer.h"
#include "platform/open_file.h"

#include <sys/stat.h>

namespace {

std::uint32_t FileAttributeWord(const FileStatus& status, std::u16string_view name)
{
#ifdef _WIN32
    // The file system's own word: read-only, hidden, system, archive.
    (void)name;
    constexpr std::uint32_t system = 0x4;
    return status.attributes & (AttributeReadOnly | AttributeHidden | system | AttributeArchive);
#else
    std::uint32_t word = AttributeArchive;
    if ((status.mode & S_IWUSR) == 0)
        word |= AttributeReadOnly;
    if (!name.empty() && name.front() == u'.')
        word |= AttributeHidden;
    return word;
#endif
}

// The caller's thread makes and writes every block.
CoreResult WriteBlocksInTurn(SdaContext& context, std::uint64_t blockCount)
{
    PackedBlock& block = context.buffers->blocks[0];
    for (std::uint64_t index = 0; index < blockCount; ++index) {
        if (const CoreResult result = PrepareBlock(context.input.Get(), context.compressor, block);
            result != IQ_OK)
            return result;
        if (const CoreResult result = WriteDataBlock(context, block); result != IQ_OK)
            return result;
        context.ReportStep();
    }
    return IQ_OK;
}

// The helper prepares the next block while this thread writes the current
// one. Leaving by any path, a throwing callback included, stops and joins
// the helper before the input file can be closed.
CoreResult WriteBlocksOverlapped(SdaContext& context, std::uint64_t blockCount)
{
    BlockPipeline pipeline(context.input.Get(), blockCount, context.compressor, *context.buffers);
    if (!pipeline.Start())
        return WriteBlocksInTurn(context, blockCount);
    for (std::uint64_t index = 0; index < blockCount; ++index) {
        PackedBlock& block = pipeline.Take();
        if (block.result != IQ_OK)
            return block.result;
        const CoreResult result = WriteDataBlock(context, block);
        pipeline.Release();
        if (result != IQ_OK)
            return result;
        context.ReportStep();
    }
    return IQ_OK;
}

} // namespace

CoreResult AddFileEntry(SdaContext& context, int dirFd, const EntryName& entry, int level)
{
    const char16_t* const name = entry.display.c_str();
    context.ReportName(name);

    FileStatus status;
    if (!entry.recordable || !QueryFileStatus(dirFd, entry.path.c_str(), entry.followLink, &status))
        return context.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;
    if (status.device == context.archiveDevice && status.inode == context.archiveInode)
        return IQ_OK;

    FileRecordFields fields;
    fields.size = status.size;
    fields.blockCount = BlockCount(status.size);
    fields.attributes = FileAttributeWord(status, entry.recorded);
    fields.creationTime = status.creationTime;
    fields.lastWriteTime = status.lastWriteTime;
    context.ReportRange(fields.blockCount);

    // Only regular files are read, and the type is known before any open:
    // opening a device can have effects of its own, a FIFO blocks.
    if (IsRegularFile(status))
        context.input = OpenExaminedRegularFile(dirFd, entry.path.c_str(), entry.followLink, status);
    if (!context.input)
        return context.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;

    if (const CoreResult result = WriteFileRecord(context, fields, entry.recorded); result != IQ_OK)
        return result;

    // The record promised B blocks: a file that shrank since gives short or
    // empty ones, one that grew is cut at B.
    if (fields.blockCount > 0) {
        if (!context.compressor.Prepare(level))
            return IQ_OUT_OF_MEMORY;
        const CoreResult result = context.overlapBlocks && fields.blockCount > 1
                                      ? WriteBlocksOverlapped(context, fields.blockCount)
                                      : WriteBlocksInTurn(context, fields.blockCount);
        if (result != IQ_OK)
            return result;
    }
    context.input.Reset();
    return IQ_OK;
}
