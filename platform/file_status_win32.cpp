#include "platform/file_status.h"

#include "platform/win32_long_path.h"

#include <io.h>
#include <windows.h>

// The file type goes into `mode` with the POSIX type bits, and "not
// read-only" as the owner's write bit, so that the shared code asks the
// same questions on both systems. A reparse point (junction, symbolic link)
// that is not followed counts as a link.

namespace {

constexpr std::uint32_t TypeMask = 0xF000;
constexpr std::uint32_t TypeDirectory = 0x4000;
constexpr std::uint32_t TypeRegular = 0x8000;
constexpr std::uint32_t TypeLink = 0xA000;
constexpr std::uint32_t OwnerWrite = 0x80;

std::uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool Describe(HANDLE handle, bool followed, FileStatus* status)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) == 0)
        return false;
    const DWORD attributes = info.dwFileAttributes;
    *status = FileStatus{};
    status->attributes = attributes;
    if (!followed && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        status->mode = TypeLink;
    else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        status->mode = TypeDirectory;
    else if (GetFileType(handle) == FILE_TYPE_DISK)
        status->mode = TypeRegular;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        status->mode |= OwnerWrite;
    status->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status->creationTime = Ticks(info.ftCreationTime);
    status->lastWriteTime = Ticks(info.ftLastWriteTime);
    status->device = info.dwVolumeSerialNumber;
    status->inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    status->links = info.nNumberOfLinks;
    return true;
}

} // namespace

bool QueryFileStatus(int /*dirFd*/, const char* path, bool followLink, FileStatus* status)
{
    const std::wstring wide = ExtendedPathOfUtf8(path);
    if (wide.empty())
        return false;
    // Attributes only: no access to the data, every sharing mode, so that
    // asking never disturbs another program's use of the file.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = Describe(handle, followLink, status);
    CloseHandle(handle);
    return ok;
}

bool QueryOpenFileStatus(int fd, FileStatus* status)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE && Describe(handle, true, status);
}

bool QueryHandleFileStatus(void* handle, FileStatus* status)
{
    return Describe(static_cast<HANDLE>(handle), false, status);
}

bool IsDirectory(const FileStatus& status)
{
    return (status.mode & TypeMask) == TypeDirectory;
}

bool IsRegularFile(const FileStatus& status)
{
    return (status.mode & TypeMask) == TypeRegular;
}

bool IsSymbolicLink(const FileStatus& status)
{
    return (status.mode & TypeMask) == TypeLink;
}
