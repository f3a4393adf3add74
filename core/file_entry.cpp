#include "core/archive_entries.h"
#include "core/entry_output.h"
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

} // namespace

CoreResult AddFileEntry(SdaContext& context, int dirFd, const EntryName& entry, int level)
{
    EntryOutput& output = *context.output;
    const char16_t* const name = entry.display.c_str();
    output.Name(name);

    FileStatus status;
    if (!entry.recordable || !QueryFileStatus(dirFd, entry.path.c_str(), entry.followLink, &status))
        return output.SkipOrFail(name, IQ_INPUT_FILE_ERROR);
    if (status.device == context.archiveDevice && status.inode == context.archiveInode)
        return IQ_OK;

    FileRecordFields fields;
    fields.size = status.size;
    fields.blockCount = BlockCount(status.size);
    fields.attributes = FileAttributeWord(status, entry.recorded);
    fields.creationTime = status.creationTime;
    fields.lastWriteTime = status.lastWriteTime;
    output.Range(fields.blockCount);

    // Only regular files are read, and the type is known before any open:
    // opening a device can have effects of its own, a FIFO blocks.
    UniqueFd input;
    if (IsRegularFile(status))
        input = OpenExaminedRegularFile(dirFd, entry.path.c_str(), entry.followLink, status);
    if (!input)
        return output.SkipOrFail(name, IQ_INPUT_FILE_ERROR);

    // The record promised B blocks: a file that shrank since gives short or
    // empty ones, one that grew is cut at B.
    return output.File(fields, entry.recorded, std::move(input), level);
}
