#include "platform/extract_fs.h"
#include "platform/windows_names.h"

#include "platform/win32_long_path.h"
#include "platform/win32_path.h"

#include <windows.h>

#include <string>

// Every directory of the walk stays open, without delete sharing, from the
// moment it is entered until it is left: nobody can rename it or swap it
// for a junction while entries are created below it. Entries are named by
// the directory's final path and the bare name, in the "\\?\" form, which
// the system takes literally (no "..", no trailing-dot or device-name
// rewriting). Reparse points are opened as themselves and never entered.

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close()
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return true;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

class Win32Directory final : public FsDirectory {
public:
    Win32Directory(std::wstring path, HANDLE handle) : path_(std::move(path)), handle_(handle) {}
    const std::wstring& Path() const { return path_; }
    HANDLE Get() const { return handle_.Get(); }
    std::wstring Entry(std::u16string_view name) const { return path_ + L'\\' + WideOf(name); }

private:
    std::wstring path_; // "\\?\" form, no trailing backslash
    Handle handle_;
};

class Win32File final : public FsFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    HANDLE Get() const { return handle_.Get(); }
    bool Close() { return handle_.Close(); }

private:
    Handle handle_;
};

Win32Directory& AsDirectory(FsDirectory& directory)
{
    return static_cast<Win32Directory&>(directory);
}

FILETIME ToFiletime(std::uint64_t value)
{
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

constexpr DWORD DirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
constexpr DWORD NoDeleteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool IsPlainDirectory(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) == 0)
        return false;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// The path of an open directory as the system resolved it, "\\?\" form.
std::wstring FinalPath(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length);
    }
    return path;
}

// Entries are named as the directory's path, a backslash and the name:
// the path must not end in one already (a drive root does).
std::wstring WithoutTrailingSeparator(std::wstring path)
{
    while (path.size() > 4 && path.back() == L'\\')
        path.pop_back();
    return path;
}

class Win32ExtractFileSystem final : public ExtractFileSystem {
public:
    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view path) override
    {
        if (path.empty() || path.find(u'\0') != std::u16string_view::npos)
            return nullptr;
        const std::wstring extended = ExtendedPath(path);
        if (extended.empty())
            return nullptr;
        // The destination itself may be a junction: the user chose it.
        HANDLE handle = CreateFileW(extended.c_str(), DirectoryAccess & ~FILE_WRITE_ATTRIBUTES, NoDeleteSharing,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(handle, &info) == 0 || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            CloseHandle(handle);
            return nullptr;
        }
        std::wstring resolved = FinalPath(handle);
        if (resolved.empty())
            resolved = extended;
        return std::make_unique<Win32Directory>(WithoutTrailingSeparator(std::move(resolved)), handle);
    }

    bool QueryFreeSpace(std::u16string_view destination, std::uint64_t* bytes) override
    {
        if (destination.find(u'\0') != std::u16string_view::npos)
            return false;
        std::wstring folder = ExtendedPath(destination);
        if (folder.empty())
            return false;
        if (folder.back() != L'\\')
            folder += L'\\';
        ULARGE_INTEGER available;
        if (GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) == 0)
            return false;
        *bytes = available.QuadPart;
        return true;
    }

    bool Exists(FsDirectory& parent, std::u16string_view name) override
    {
        // Describes a link itself, whatever it points at.
        if (GetFileAttributesW(AsDirectory(parent).Entry(name).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }

    bool MakeDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        return CreateDirectoryW(AsDirectory(parent).Entry(name).c_str(), nullptr) != 0;
    }

    std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        std::wstring path = AsDirectory(parent).Entry(name);
        HANDLE handle = CreateFileW(path.c_str(), DirectoryAccess, NoDeleteSharing, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        if (!IsPlainDirectory(handle)) {
            CloseHandle(handle);
            return nullptr;
        }
        return std::make_unique<Win32Directory>(std::move(path), handle);
    }

    bool SetDirectoryCreationTime(FsDirectory& directory, std::uint64_t creationTime) override
    {
        const FILETIME creation = ToFiletime(creationTime);
        return SetFileTime(AsDirectory(directory).Get(), &creation, nullptr, nullptr) != 0;
    }

    bool RemoveEntry(FsDirectory& parent, std::u16string_view name) override
    {
        // Through one handle on the entry itself: a link goes, its target
        // stays; a read-only file loses the attribute first.
        const std::wstring path = AsDirectory(parent).Entry(name);
        Handle entry(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!entry)
            return false;
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(entry.Get(), &info) == 0 ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return false;
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (SetFileInformationByHandle(entry.Get(), FileBasicInfo, &basic, sizeof basic) == 0)
            return false;
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        return SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof disposition) != 0 &&
               entry.Close();
    }

    std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name,
                                          std::uint32_t attributes) override
    {
        // The attribute bits a new file can be given; encryption, offline
        // and temporary storage are the source machine's business.
        constexpr DWORD Settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        DWORD creation = attributes & Settable;
        if (creation == 0)
            creation = FILE_ATTRIBUTE_NORMAL;
        // CREATE_NEW fails on any existing entry, a dangling link included.
        // Delete sharing lets the thread that ends the process remove the
        // unfinished file while a write is under way.
        HANDLE handle = CreateFileW(AsDirectory(parent).Entry(name).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW,
                                    creation | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<Win32File>(handle);
    }

    bool Write(FsFile& file, const std::uint8_t* data, std::size_t length) override
    {
        const HANDLE handle = static_cast<Win32File&>(file).Get();
        while (length > 0) {
            const DWORD piece = length > (1U << 30) ? (1U << 30) : static_cast<DWORD>(length);
            DWORD written = 0;
            if (WriteFile(handle, data, piece, &written, nullptr) == 0 || written == 0)
                return false;
            data += written;
            length -= written;
        }
        return true;
    }

    bool SetFileTimes(FsFile& file, std::uint64_t creationTime, std::uint64_t lastWriteTime) override
    {
        const FILETIME creation = ToFiletime(creationTime);
        const FILETIME lastWrite = ToFiletime(lastWriteTime);
        return SetFileTime(static_cast<Win32File&>(file).Get(), &creation, nullptr, &lastWrite) != 0;
    }

    bool Close(std::unique_ptr<FsFile> file) override
    {
        return static_cast<Win32File&>(*file).Close();
    }

    bool RenameEntry(FsDirectory& parent, std::u16string_view from, std::u16string_view to) override
    {
        const std::wstring source = AsDirectory(parent).Entry(from);
        const std::wstring target = AsDirectory(parent).Entry(to);
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0)
            return true;
        if (GetLastError() != ERROR_ACCESS_DENIED)
            return false;
        // A read-only file refuses to be replaced: it loses the attribute,
        // through the entry itself, only now that its successor is whole.
        Handle entry(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!entry || GetFileInformationByHandle(entry.Get(), &info) == 0 ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != FILE_ATTRIBUTE_READONLY)
            return false;
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = (info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        if (SetFileInformationByHandle(entry.Get(), FileBasicInfo, &basic, sizeof basic) == 0)
            return false;
        entry.Close();
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
};

} // namespace

bool IsPlainEntryName(std::u16string_view name)
{
    // No Windows writer can have recorded a name that the rule drops or refuses.
    return IsPlainWindowsName(name);
}

namespace {

bool IsReservedDeviceName(std::u16string_view name)
{
    // The device names count with any extension: "con.txt" opens the console.
    const std::u16string_view stem = name.substr(0, name.find(u'.'));
    auto upper = [](char16_t unit) { return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit; };
    std::u16string folded;
    for (const char16_t unit : stem)
        folded += upper(unit);
    // "CON .txt" is the console as well: blanks before the dot are dropped.
    while (!folded.empty() && folded.back() == u' ')
        folded.pop_back();
    if (folded == u"CON" || folded == u"PRN" || folded == u"AUX" || folded == u"NUL")
        return true;
    return folded.size() == 4 && (folded.starts_with(u"COM") || folded.starts_with(u"LPT")) && folded[3] >= u'1' &&
           folded[3] <= u'9';
}

} // namespace

std::optional<std::u16string> WritableEntryName(std::u16string_view recorded)
{
    // NUL ends a name in every interface: it is damage, not a character.
    if (recorded.empty() || recorded == u"." || recorded == u".." || recorded.find(u'\0') != std::u16string_view::npos)
        return std::nullopt;
    std::u16string name(recorded);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
            ++i; // a pair stands for one character
            continue;
        }
        if (IsWindowsForbiddenUnit(unit) || high || low)
            name[i] = u'_';
    }
    if (name.back() == u'.' || name.back() == u' ')
        name.back() = u'_';
    if (IsReservedDeviceName(name))
        name.insert(name.begin(), u'_');
    return name;
}

std::unique_ptr<ExtractFileSystem> MakeNativeExtractFileSystem()
{
    return std::make_unique<Win32ExtractFileSystem>();
}
