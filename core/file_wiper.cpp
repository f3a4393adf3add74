#include "core/file_wiper.h"

#include "core/process_pool.h"
#include "core/record_writer.h"
#include "platform/file_status.h"
#include "platform/pinned_file.h"
#include "platform/secure_memory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint64_t BufferCount(std::uint64_t size)
{
    return size / WipeBufferSize + (size % WipeBufferSize != 0 ? 1 : 0);
}

bool Flush(int fd)
{
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// One pass of the pattern buffer over `buffers` buffers from offset 0, then
// flushed, so that it reaches the disk before the next pass replaces it in
// the cache. On failure the file is closed.
bool WritePass(WipeContext& context, std::uint64_t buffers)
{
    const int fd = context.file.Get();
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0;
    for (std::uint64_t written = 0; ok && written < buffers; ++written) {
        ok = WriteAll(fd, context.pattern.data(), context.pattern.size());
        if (ok)
            context.ReportStep();
    }
    ok = ok && Flush(fd);
    if (!ok)
        context.file.Reset();
    return ok;
}

// The random values of one repetition and the pattern bytes made of them
// are wiped however the repetition ends.
class RepetitionValues {
public:
    explicit RepetitionValues(WipeContext& context) : context_(context) {}
    RepetitionValues(const RepetitionValues&) = delete;
    RepetitionValues& operator=(const RepetitionValues&) = delete;
    ~RepetitionValues()
    {
        SecureWipe(random, sizeof(random));
        SecureWipe(context_.pattern.data(), context_.pattern.size());
    }

    std::uint8_t random[WipeRandomValueCount] = {};

private:
    WipeContext& context_;
};

CoreResult OverwriteRepetition(WipeContext& context, std::uint64_t buffers)
{
    RepetitionValues values(context);
    if (MethodDrawsRandomValues(context.method)) {
        if (const CoreResult result = DrawRandomBytes(values.random, sizeof(values.random)); result != IQ_OK) {
            context.file.Reset();
            return result;
        }
    }
    for (const WipePass& pass : WipePassSequence(context.method)) {
        const std::uint8_t value = pass.random ? values.random[pass.value] : pass.value;
        std::memset(context.pattern.data(), value, context.pattern.size());
        if (!WritePass(context, buffers))
            return IQ_INPUT_FILE_ERROR;
    }
    return IQ_OK;
}

} // namespace

CoreResult FileWiper::Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop)
{
    const RemovalCallbacks& callbacks = context_.callbacks;
    const char16_t* const name = entry.display.c_str();
    const char* const path = entry.path.c_str();
    callbacks.ReportName(name);
    const auto skipOrFail = [&] { return callbacks.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR; };

    FileStatus status;
    if (!QueryFileStatus(dirFd, path, false, &status))
        return skipOrFail();
    if (walkTop != nullptr && status.device != walkTop->device)
        return skipOrFail();
    if (IsSymbolicLink(status))
        return ::unlinkat(dirFd, path, 0) == 0 ? IQ_OK : skipOrFail();
    // A FIFO would block, a device would be written to for ever.
    if (!IsRegularFile(status))
        return skipOrFail();
    if (walkTop != nullptr && status.links > 1)
        return ::unlinkat(dirFd, path, 0) == 0 ? IQ_OK : skipOrFail();

    // Every step from here on goes through the handle of the file examined,
    // so a swap of the name since cannot redirect the overwrite.
    const UniqueFd pinned = OpenExaminedEntry(dirFd, path, status);
    if (!pinned)
        return skipOrFail();
    // The owner's write permission stands in for "not read-only".
    if ((status.mode & S_IWUSR) == 0 && !ChangeModeOfHandle(pinned.Get(), (status.mode & 07777) | S_IWUSR))
        return skipOrFail();
    context_.file = ReopenHandle(pinned.Get(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
    FileStatus opened;
    if (context_.file && !QueryOpenFileStatus(context_.file.Get(), &opened))
        context_.file.Reset();
    if (!context_.file)
        return skipOrFail();

    const std::uint64_t buffers = BufferCount(opened.size);
    const std::uint64_t passes = WipePassSequence(context_.method).size();
    context_.ReportRange(context_.repetitions * buffers * passes);

    for (unsigned repetition = 0; repetition < context_.repetitions; ++repetition)
        if (const CoreResult result = OverwriteRepetition(context_, buffers); result != IQ_OK)
            return result;

    context_.file.Reset();
    // Only the name of the file that was overwritten is removed.
    FileStatus named;
    const bool unchanged = QueryFileStatus(dirFd, path, false, &named) && SameObject(named, status);
    return unchanged && ::unlinkat(dirFd, path, 0) == 0 ? IQ_OK : skipOrFail();
}
