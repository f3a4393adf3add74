#pragma once
// The loop over a folder's entries that the library's Windows walks share:
// "." and ".." left out, a listing error told apart from the end, names as
// UTF-8 whole paths below the folder's own.

#include "platform/win32_handle.h"
#include "platform/win32_path.h"

#include <string>
#include <windows.h>

// `folder` is a "\\?\" path (UTF-8). Calls visit(path, data) for every
// entry in listing order and returns the first result that is not `ok`;
// `listError` when the folder cannot be listed on. An entry whose name
// cannot be written as UTF-8 gets an empty path, which names nothing.
template <typename Result, typename Visit>
Result ForEachFolderEntry(const std::string& folder, Result ok, Result listError, Visit&& visit)
{
    const auto wideFolder = WidePath(folder);
    if (!wideFolder)
        return listError;
    const bool endsInSeparator = !wideFolder->empty() && wideFolder->back() == L'\\';
    const std::wstring pattern = *wideFolder + (endsInSeparator ? L"*" : L"\\*");
    WIN32_FIND_DATAW data;
    FindListing listing;
    listing.Reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!listing)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ok : listError;
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..")
            continue;
        const auto utf8Name = Utf8OfWide(name);
        const std::string path = utf8Name ? folder + (endsInSeparator ? "" : "\\") + *utf8Name : std::string();
        if (const Result result = visit(path, data); result != ok)
            return result;
    } while (FindNextFileW(listing.Get(), &data) != 0);
    return GetLastError() == ERROR_NO_MORE_FILES ? ok : listError;
}

// Deletes the link or file itself, never what a reparse point leads to: a
// folder link goes as a folder, anything else as a file.
inline bool DeleteEntryItself(const std::string& path, DWORD attributes)
{
    const auto wide = WidePath(path);
    if (!wide)
        return false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(wide->c_str()) != 0
                                                        : DeleteFileW(wide->c_str()) != 0;
}
