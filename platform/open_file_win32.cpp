#include "platform/open_file.h"

#include "platform/win32_long_path.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The descriptor takes the handle over; on failure the handle is closed.
UniqueFd DescriptorOf(HANDLE handle, int flags)
{
    if (handle == INVALID_HANDLE_VALUE)
        return UniqueFd();
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0)
        CloseHandle(handle);
    return UniqueFd(fd);
}

} // namespace

UniqueFd OpenExaminedRegularFile(int /*dirFd*/, const char* path, bool followLink, const FileStatus& examined)
{
    const std::wstring wide = ExtendedPathOfUtf8(path);
    if (wide.empty())
        return UniqueFd();
    // Others may go on reading and writing it; a file being written while it
    // is archived keeps its block count, as elsewhere.
    const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    UniqueFd fd = DescriptorOf(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, flags, nullptr),
                               _O_RDONLY);
    FileStatus opened;
    if (fd && (!QueryOpenFileStatus(fd.Get(), &opened) || !IsRegularFile(opened) || !SameObject(opened, examined)))
        fd.Reset();
    return fd;
}

UniqueFd OpenForAppend(const char* path)
{
    const std::wstring wide = ExtendedPathOfUtf8(path);
    if (wide.empty())
        return UniqueFd();
    // A creator may hold the file it staged open, and must be able to
    // delete it on an interrupt while the archive is being written.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE && SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_END) == 0) {
        CloseHandle(handle);
        return UniqueFd();
    }
    return DescriptorOf(handle, _O_WRONLY);
}
