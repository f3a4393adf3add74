#include "core/file_wiper.h"

#include "core/wipe_overwrite.h"
#include "platform/file_status.h"
#include "platform/pinned_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    if (const CoreResult result = OverwriteOpenFile(context_, opened.size); result != IQ_OK)
        return result;
    context_.file.Reset();
    // Only the name of the file that was overwritten is removed.
    FileStatus named;
    const bool unchanged = QueryFileStatus(dirFd, path, false, &named) && SameObject(named, status);
    return unchanged && ::unlinkat(dirFd, path, 0) == 0 ? IQ_OK : skipOrFail();
}
