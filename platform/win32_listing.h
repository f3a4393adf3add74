#pragma once
// The loop over a folder's entries that the library's Windows walks share:
// listed through the folder's own open handle (so the listing is of the
// folder that was checked, whatever its name means by now), "." and ".."
// left out, a listing error told apart from the end, each entry named by
// its whole UTF-8 path below the folder's.

#include "platform/win32_path.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

struct ListedEntry {
    std::string path; // empty when the name cannot be written as UTF-8
    std::wstring_view name;
    DWORD attributes;
};

// `handle` is the folder at `folderPath` ("\\?\" form), opened with
// FILE_LIST_DIRECTORY. Calls visit(entry) for every entry in listing order
// and returns the first result that is not `ok`; `listError` when the
// folder cannot be listed on.
template <typename Result, typename Visit>
Result ForEachFolderEntry(HANDLE handle, const std::string& folderPath, Result ok, Result listError, Visit&& visit)
{
    const bool endsInSeparator = !folderPath.empty() && folderPath.back() == '\\';
    std::vector<std::uint64_t> buffer(8192); // 64 KiB, aligned for the records
    FILE_INFO_BY_HANDLE_CLASS request = FileFullDirectoryRestartInfo;
    for (;;) {
        if (GetFileInformationByHandleEx(handle, request, buffer.data(),
                                         static_cast<DWORD>(buffer.size() * sizeof buffer[0])) == 0)
            return GetLastError() == ERROR_NO_MORE_FILES ? ok : listError;
        request = FileFullDirectoryInfo;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
        for (;;) {
            const auto* record = reinterpret_cast<const FILE_FULL_DIR_INFO*>(bytes);
            const std::wstring_view name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                const auto utf8Name = Utf8OfWide(name);
                ListedEntry entry{utf8Name ? folderPath + (endsInSeparator ? "" : "\\") + *utf8Name : std::string(),
                                  name, record->FileAttributes};
                if (const Result result = visit(entry); result != ok)
                    return result;
            }
            if (record->NextEntryOffset == 0)
                break;
            bytes += record->NextEntryOffset;
        }
    }
}

// Whether `opened`, opened by `path` as the entry itself, is in fact
// another object: its final path is not the entry's folder and name. Wine
// shows a Unix symbolic link to a file as that file, with no reparse point
// to tell, and opens, overwrites and deletes the target through it.
inline bool ReachedThroughLink(HANDLE opened, const std::wstring& path)
{
    const auto finalPath = [](HANDLE handle) {
        std::wstring text(32768, L'\0');
        const DWORD length =
            GetFinalPathNameByHandleW(handle, text.data(), static_cast<DWORD>(text.size()), FILE_NAME_NORMALIZED);
        text.resize(length < text.size() ? length : 0);
        return text;
    };
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    const HANDLE folder = CreateFileW(path.substr(0, slash).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    std::wstring expected = finalPath(folder);
    CloseHandle(folder);
    const std::wstring actual = finalPath(opened);
    if (expected.empty() || actual.empty())
        return false; // the system cannot say: as before
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += path.substr(slash + 1);
    return CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), actual.c_str(),
                                static_cast<int>(actual.size()), TRUE) != CSTR_EQUAL;
}

// Deletes the link or file itself, never what a reparse point leads to:
// through a handle of the entry as it is, marked for deletion on close. An
// entry the system opens only as its link's target is left in place.
inline bool DeleteEntryItself(const std::string& path, DWORD attributes)
{
    const auto wide = WidePath(path);
    if (!wide)
        return false;
    const HANDLE handle = CreateFileW(wide->c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE && ReachedThroughLink(handle, *wide)) {
        CloseHandle(handle);
        return false;
    }
    if (handle != INVALID_HANDLE_VALUE) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        const bool marked =
            SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
        CloseHandle(handle);
        if (marked)
            return true;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(wide->c_str()) != 0
                                                        : DeleteFileW(wide->c_str()) != 0;
}
