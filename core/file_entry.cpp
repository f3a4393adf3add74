#include "core/archive_entries.h"
#include "core/record_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint32_t FileAttributeWord(const FileStatus& status, std::u16string_view name)
{
    std::uint32_t word = AttributeArchive;
    if ((status.mode & S_IWUSR) == 0)
        word |= AttributeReadOnly;
    if (!name.empty() && name.front() == u'.')
        word |= AttributeHidden;
    return word;
}

// Only regular files are read: a FIFO would block the walk and a device
// never ends, so both count as files that cannot be opened.
UniqueFd OpenRegularFile(int dirFd, const EntryName& entry)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (entry.followLink ? 0 : O_NOFOLLOW);
    UniqueFd fd(::openat(dirFd, entry.path.c_str(), flags));
    FileStatus opened;
    if (fd && (!QueryOpenFileStatus(fd.Get(), &opened) || !IsRegularFile(opened)))
        fd.Reset();
    return fd;
}

// Fills up to `capacity` bytes; short only at the end of the file. -1 when a
// read fails.
ssize_t ReadBlock(int fd, std::uint8_t* buffer, std::size_t capacity)
{
    std::size_t filled = 0;
    while (filled < capacity) {
        const ssize_t count = ::read(fd, buffer + filled, capacity - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<ssize_t>(filled);
}

} // namespace

CoreResult AddFileEntry(SdaContext& context, int dirFd, const EntryName& entry, int level)
{
    const char16_t* const name = entry.display.c_str();
    context.ReportName(name);

    FileStatus status;
    if (!entry.recordable || !QueryFileStatus(dirFd, entry.path.c_str(), entry.followLink, &status))
        return context.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;

    FileRecordFields fields;
    fields.size = status.size;
    fields.blockCount = BlockCount(status.size);
    fields.attributes = FileAttributeWord(status, entry.recorded);
    fields.creationTime = status.creationTime;
    fields.lastWriteTime = status.lastWriteTime;
    context.ReportRange(fields.blockCount);

    context.input = OpenRegularFile(dirFd, entry);
    if (!context.input)
        return context.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;

    if (const CoreResult result = WriteFileRecord(context, fields, entry.recorded); result != IQ_OK)
        return result;

    // The record promised B blocks: a file that shrank since gives short or
    // empty ones, one that grew is cut at B.
    for (std::uint64_t block = 0; block < fields.blockCount; ++block) {
        const ssize_t length = ReadBlock(context.input.Get(), context.buffers->read, BlockSize);
        if (length < 0)
            return IQ_INPUT_FILE_ERROR;
        if (const CoreResult result = WriteDataBlock(context, static_cast<std::size_t>(length), level);
            result != IQ_OK)
            return result;
        context.ReportStep();
    }
    context.input.Reset();
    return IQ_OK;
}
