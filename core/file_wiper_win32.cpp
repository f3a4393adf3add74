#include "core/file_wiper.h"

#include "core/wipe_overwrite.h"
#include "platform/file_status.h"
#include "platform/win32_handle.h"
#include "platform/win32_listing.h"
#include "platform/win32_path.h"

#include <fcntl.h>
#include <io.h>

// Every step after the first look goes through a handle of the file that
// was examined (opened as itself, never through a reparse point), so a swap
// of the name since cannot redirect the overwrite or the deletion.

namespace {

Win32Handle OpenExamined(const std::wstring& path, DWORD access, DWORD flags, const FileStatus& examined)
{
    Win32Handle handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr));
    FileStatus opened;
    if (handle && (!QueryHandleFileStatus(handle.Get(), &opened) || !SameObject(opened, examined) ||
                   ReachedThroughLink(handle.Get(), path)))
        handle.Reset();
    return handle;
}

bool ClearReadOnly(const std::wstring& path, const FileStatus& examined)
{
    const Win32Handle handle = OpenExamined(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, examined);
    FILE_BASIC_INFO basic{};
    if (!handle || GetFileInformationByHandleEx(handle.Get(), FileBasicInfo, &basic, sizeof basic) == 0)
        return false;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool DeleteOnClose(int fd)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE &&
           SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

} // namespace

CoreResult FileWiper::Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop)
{
    const RemovalCallbacks& callbacks = context_.callbacks;
    const char16_t* const name = entry.display.c_str();
    callbacks.ReportName(name);
    const auto skipOrFail = [&] { return callbacks.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR; };

    FileStatus status;
    if (!QueryFileStatus(dirFd, entry.path.c_str(), false, &status))
        return skipOrFail();
    if (walkTop != nullptr && status.device != walkTop->device)
        return skipOrFail();
    if (IsSymbolicLink(status))
        return DeleteEntryItself(entry.path, status.attributes) ? IQ_OK : skipOrFail();
    if (!IsRegularFile(status))
        return skipOrFail();
    // Its bytes are also those of its names outside the folder being wiped.
    if (walkTop != nullptr && status.links > 1)
        return DeleteEntryItself(entry.path, status.attributes) ? IQ_OK : skipOrFail();

    const auto wide = WidePath(entry.path);
    if (!wide)
        return skipOrFail();
    if ((status.attributes & FILE_ATTRIBUTE_READONLY) != 0 && !ClearReadOnly(*wide, status))
        return skipOrFail();
    // Written through the cache; each pass is flushed besides.
    Win32Handle writable = OpenExamined(*wide, GENERIC_WRITE | DELETE, FILE_FLAG_WRITE_THROUGH, status);
    if (!writable)
        return skipOrFail();
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writable.Get()), _O_WRONLY | _O_BINARY);
    if (fd < 0)
        return skipOrFail();
    (void)writable.Release();
    context_.file.Reset(fd);

    if (const CoreResult result = OverwriteOpenFile(context_, status.size); result != IQ_OK)
        return result;
    // Only the file that was overwritten is deleted: through its handle.
    const bool marked = DeleteOnClose(context_.file.Get());
    return context_.file.Reset() && marked ? IQ_OK : skipOrFail();
}
