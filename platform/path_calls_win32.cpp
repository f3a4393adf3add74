#include "platform/path_calls.h"

#include "platform/console_output.h"
#include "platform/win32_handle.h"
#include "platform/win32_long_path.h"
#include "platform/win32_path.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// The errno value the messages know for the last Win32 error.
void SetErrnoFromLastError()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_DIR_NOT_EMPTY:
        errno = ENOTEMPTY;
        break;
    case ERROR_DIRECTORY:
        errno = ENOTDIR;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        errno = ENOMEM;
        break;
    default:
        errno = EIO;
    }
}

// The descriptor takes the handle over; -1 with errno set when either fails.
int DescriptorOf(HANDLE handle, int flags)
{
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrnoFromLastError();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

std::wstring Extended(const std::string& path)
{
    std::wstring wide = ExtendedPathOfUtf8(path);
    if (wide.empty())
        errno = ENOENT;
    return wide;
}

// Back to the "/" of the rest of the program, without the "\\?\" lead.
std::string Utf8Path(std::wstring wide)
{
    if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0)
        wide = L"\\\\" + wide.substr(8);
    else if (wide.rfind(L"\\\\?\\", 0) == 0)
        wide = wide.substr(4);
    for (wchar_t& unit : wide) {
        if (unit == L'\\')
            unit = L'/';
    }
    return Utf8OfWide(wide).value_or(std::string());
}

} // namespace

int OpenForReading(const std::string& path, bool /*mayWait*/)
{
    const std::wstring wide = Extended(path);
    if (wide.empty())
        return -1;
    // Folders open too (backup semantics), so that the caller tells them apart.
    return DescriptorOf(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                        _O_RDONLY);
}

int OpenDeviceForWriting(const std::string& path)
{
    const auto wide = WidePath(path);
    if (!wide) {
        errno = ENOENT;
        return -1;
    }
    // Device names (NUL, CON) are not paths: the plain form reaches them.
    return DescriptorOf(CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr),
                        _O_WRONLY);
}

long ReadSomeAt(int fd, std::uint64_t offset, void* buffer, std::size_t length)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const DWORD asked = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    if (ReadFile(handle, buffer, asked, &read, &at) == 0) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        SetErrnoFromLastError();
        return -1;
    }
    return static_cast<long>(read);
}

bool PathStatus(const std::string& path, bool followLink, FileStatus* status)
{
    SetLastError(ERROR_SUCCESS);
    if (QueryFileStatus(-1, path.c_str(), followLink, status))
        return true;
    if (GetLastError() == ERROR_SUCCESS)
        SetLastError(ERROR_FILE_NOT_FOUND);
    SetErrnoFromLastError();
    return false;
}

bool FolderWritable(const std::string& path)
{
    // Folder rights are checked by the open that makes the file; the
    // read-only attribute of a folder does not forbid new entries.
    FileStatus status;
    if (!PathStatus(path, true, &status))
        return false;
    if (!IsDirectory(status)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool MakeFolder(const std::string& path)
{
    const std::wstring wide = Extended(path);
    if (wide.empty())
        return false;
    if (CreateDirectoryW(wide.c_str(), nullptr) != 0)
        return true;
    SetErrnoFromLastError();
    return false;
}

bool RemoveEmptyFolder(const std::string& path)
{
    const std::wstring wide = Extended(path);
    if (wide.empty())
        return false;
    if (RemoveDirectoryW(wide.c_str()) != 0)
        return true;
    SetErrnoFromLastError();
    return false;
}

std::optional<std::vector<std::string>> FolderNames(const std::string& path)
{
    const std::wstring wide = Extended(path);
    if (wide.empty())
        return std::nullopt;
    WIN32_FIND_DATAW found;
    FindListing listing;
    listing.Reset(FindFirstFileW((wide + L"\\*").c_str(), &found));
    if (!listing) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (const auto utf8 = Utf8OfWide(name))
            names.push_back(*utf8);
    } while (FindNextFileW(listing.Get(), &found) != 0);
    return names;
}

std::string ResolvedPath(const std::string& path)
{
    const std::wstring wide = Extended(path);
    if (wide.empty())
        return {};
    const Win32Handle handle(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        SetErrnoFromLastError();
        return {};
    }
    std::wstring final(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle.Get(), final.data(), static_cast<DWORD>(final.size()),
                                                   FILE_NAME_NORMALIZED);
    if (length == 0 || length >= final.size())
        return Utf8Path(wide);
    final.resize(length);
    return Utf8Path(final);
}

std::string ProgramFilePath()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    path.resize(length);
    return Utf8Path(path);
}

std::size_t TerminalColumns(std::FILE* stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE console = ConsoleOf(_fileno(stream));
    if (console != nullptr && GetConsoleScreenBufferInfo(console, &info) != 0) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        // Writing into the last column moves the cursor to the next line.
        if (columns > 1)
            return static_cast<std::size_t>(columns - 1);
    }
    return 80;
}
