#include "core/entry_removal.h"

#include "platform/dir_listing.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

class RemovalWalk {
public:
    RemovalWalk(const RemovalCallbacks& callbacks, FileRemover& remover, const FileStatus& root)
        : callbacks_(callbacks), remover_(remover), root_(root)
    {
    }

    CoreResult RemoveDirectory(int dirFd, const EntryName& entry, bool top);

private:
    CoreResult RemoveListedEntry(int dirFd, const dirent& listed);

    const RemovalCallbacks& callbacks_;
    FileRemover& remover_;
    const FileStatus& root_;
    // The folder the walk started from; its device bounds the walk.
    FileStatus top_;
};

CoreResult RemovalWalk::RemoveDirectory(int dirFd, const EntryName& entry, bool top)
{
    const char16_t* const name = entry.display.c_str();
    const char* const path = entry.path.c_str();
    callbacks_.ReportName(name);
    const auto skipOrFail = [&] { return callbacks_.AskSkip(name) ? IQ_OK : IQ_INPUT_DIR_ERROR; };

    FileStatus own;
    if (!QueryFileStatus(dirFd, path, false, &own))
        return skipOrFail();
    // A mount point inside the tree: what lies there belongs to another
    // file system, which the user did not name (as rm --one-file-system).
    if (!top && own.device != top_.device)
        return skipOrFail();
    if (IsSymbolicLink(own))
        return ::unlinkat(dirFd, path, 0) == 0 ? IQ_OK : skipOrFail();

    // O_NOFOLLOW again, and the same object: the entry may have been
    // swapped since it was examined.
    UniqueFd handle(::openat(dirFd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    FileStatus opened;
    if (!handle || !QueryOpenFileStatus(handle.Get(), &opened) || !SameObject(opened, own))
        return skipOrFail();
    // The root may also be met below the top, through a bind mount.
    if (SameObject(opened, root_))
        return IQ_INPUT_DIR_ERROR;
    if (top)
        top_ = opened;

    DirListing listing(fdopendir(handle.Get()));
    if (!listing)
        return IQ_INPUT_DIR_ERROR;
    (void)handle.Release();

    if (const CoreResult result = ForEachListedEntry(
            listing.get(), CoreResult{IQ_OK}, CoreResult{IQ_INPUT_DIR_ERROR},
            [&](const dirent& listed) { return RemoveListedEntry(dirfd(listing.get()), listed); });
        result != IQ_OK)
        return result;
    listing.reset();

    // Fails while a skipped entry is still inside: the caller decides again.
    return ::unlinkat(dirFd, path, AT_REMOVEDIR) == 0 ? IQ_OK : skipOrFail();
}

CoreResult RemovalWalk::RemoveListedEntry(int dirFd, const dirent& listed)
{
    FileStatus own;
    const bool isDirectory = listed.d_type == DT_DIR ||
                             (listed.d_type == DT_UNKNOWN &&
                              QueryFileStatus(dirFd, listed.d_name, false, &own) && IsDirectory(own));
    const EntryName entry = ListedEntryName(listed.d_name, false);
    return isDirectory ? RemoveDirectory(dirFd, entry, false) : remover_.Remove(dirFd, entry, &top_);
}

} // namespace

CoreResult RemoveTree(const RemovalCallbacks& callbacks, FileRemover& remover, int dirFd, const EntryName& entry)
{
    FileStatus root;
    if (!QueryFileStatus(AT_FDCWD, "/", false, &root))
        return IQ_INPUT_DIR_ERROR;
    RemovalWalk walk(callbacks, remover, root);
    return walk.RemoveDirectory(dirFd, entry, true);
}
