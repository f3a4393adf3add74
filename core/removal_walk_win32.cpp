#include "core/entry_removal.h"

#include "platform/file_status.h"
#include "platform/win32_handle.h"
#include "platform/win32_listing.h"
#include "platform/win32_path.h"

#include <string_view>

// Each folder of the walk stays open without delete sharing while it is
// emptied, so nobody can rename it or swap it for a junction; it is then
// removed through that same handle. Junctions and symbolic links are
// removed themselves, never entered.

namespace {

// A drive root ("\\?\X:\") or a share ("\\?\UNC\server\share"), in the
// form ExtendedPath gives.
bool IsVolumeRoot(std::wstring_view path)
{
    constexpr std::wstring_view unc = L"\\\\?\\UNC\\";
    if (path.starts_with(unc)) {
        const std::wstring_view share = path.substr(unc.size());
        const std::size_t server = share.find(L'\\');
        return server == std::wstring_view::npos || share.find(L'\\', server + 1) == std::wstring_view::npos;
    }
    return path.size() >= 6 && path.size() <= 7 && path[5] == L':' && (path.size() == 6 || path[6] == L'\\');
}

// Marks the opened entry for deletion; it goes when the handle is closed.
bool DeleteOnClose(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

class RemovalWalk {
public:
    RemovalWalk(const RemovalCallbacks& callbacks, FileRemover& remover) : callbacks_(callbacks), remover_(remover) {}

    CoreResult RemoveDirectory(const EntryName& entry, bool top);

private:
    const RemovalCallbacks& callbacks_;
    FileRemover& remover_;
    // The folder the walk started from; its volume bounds the walk.
    FileStatus top_;
};

CoreResult RemovalWalk::RemoveDirectory(const EntryName& entry, bool top)
{
    const char16_t* const name = entry.display.c_str();
    callbacks_.ReportName(name);
    const auto skipOrFail = [&] { return callbacks_.AskSkip(name) ? IQ_OK : IQ_INPUT_DIR_ERROR; };

    FileStatus own;
    if (!QueryFileStatus(-1, entry.path.c_str(), false, &own))
        return skipOrFail();
    // A volume mounted in a folder of the tree belongs to another file
    // system, which the user did not name.
    if (!top && own.device != top_.device)
        return skipOrFail();
    if (IsSymbolicLink(own))
        return DeleteEntryItself(entry.path, own.attributes) ? IQ_OK : skipOrFail();

    const auto wide = WidePath(entry.path);
    if (!wide)
        return skipOrFail();
    // A drive root is never removed nor emptied, as "/" is not elsewhere.
    if (IsVolumeRoot(*wide))
        return IQ_INPUT_DIR_ERROR;
    const Win32Handle handle(CreateFileW(wide->c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileStatus opened;
    if (!handle || !QueryHandleFileStatus(handle.Get(), &opened) || !IsDirectory(opened) ||
        !SameObject(opened, own))
        return skipOrFail();
    if (top)
        top_ = opened;

    if (const CoreResult result = ForEachFolderEntry(
            handle.Get(), entry.path, CoreResult{IQ_OK}, CoreResult{IQ_INPUT_DIR_ERROR},
            [&](const ListedEntry& listed) {
                const bool folder = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                                    (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
                const EntryName child = ListedEntryName(listed.path, listed.name, false);
                return folder ? RemoveDirectory(child, false) : remover_.Remove(-1, child, &top_);
            });
        result != IQ_OK)
        return result;

    // Fails while a skipped entry is still inside: the caller decides again.
    return DeleteOnClose(handle.Get()) ? IQ_OK : skipOrFail();
}

} // namespace

CoreResult RemoveTree(const RemovalCallbacks& callbacks, FileRemover& remover, int /*dirFd*/, const EntryName& entry)
{
    RemovalWalk walk(callbacks, remover);
    return walk.RemoveDirectory(entry, true);
}
