#include "core/entry_removal.h"

#include "platform/dir_listing.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"
#include "platform/walk_level.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

class RemovalWalk {
public:
    RemovalWalk(const RemovalCallbacks& callbacks, FileRemover& remover, const FileStatus& root)
        : callbacks_(callbacks), remover_(remover), root_(root)
    {
    }

    CoreResult RemoveDirectory(int dirFd, const EntryName& entry, bool top);

private:
    // A directory being emptied: its listing and what it must still be
    // when the walk climbs back to it.
    struct Level {
        WalkLevel listing;
        FileStatus identity;
    };

    CoreResult RemoveListedEntry(int dirFd, const ListedEntry& listed);
    void HoldFewLevels();
    // The handle of the directory holding the innermost level, taken again
    // through the innermost one when it was given up; -1 when that is no
    // longer the same directory.
    int RetakeParent(int topParentFd);

    const RemovalCallbacks& callbacks_;
    FileRemover& remover_;
    const FileStatus& root_;
    // The folder the walk started from; its device bounds the walk.
    FileStatus top_;
    // The directories being emptied, outermost first.
    std::vector<Level*> chain_;
};

void RemovalWalk::HoldFewLevels()
{
    int held = 0;
    for (auto level = chain_.rbegin(); level != chain_.rend() && (*level)->listing.Held(); ++level) {
        if (held < HeldWalkLevels)
            ++held;
        else
            (*level)->listing.GiveUp();
    }
}

int RemovalWalk::RetakeParent(int topParentFd)
{
    if (chain_.size() < 2)
        return topParentFd;
    Level& parent = *chain_[chain_.size() - 2];
    if (!parent.listing.Held() && !parent.listing.Retake(chain_.back()->listing.Fd(), parent.identity))
        return -1;
    return parent.listing.Fd();
}

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

    Level level;
    level.identity = opened;
    if (!level.listing.Start(std::move(handle)))
        return IQ_INPUT_DIR_ERROR;
    chain_.push_back(&level);
    struct ChainExit {
        std::vector<Level*>& chain;
        ~ChainExit() { chain.pop_back(); }
    } chainExit{chain_};
    HoldFewLevels();

    if (const CoreResult result = ForEachLevelEntry(
            level.listing, CoreResult{IQ_OK}, CoreResult{IQ_INPUT_DIR_ERROR},
            [&](const ListedEntry& listed) { return RemoveListedEntry(level.listing.Fd(), listed); });
        result != IQ_OK)
        return result;

    const int parentFd = RetakeParent(dirFd);
    if (parentFd < 0)
        return IQ_INPUT_DIR_ERROR;
    level.listing.Close();
    // Fails while a skipped entry is still inside: the caller decides again.
    return ::unlinkat(parentFd, path, AT_REMOVEDIR) == 0 ? IQ_OK : skipOrFail();
}

CoreResult RemovalWalk::RemoveListedEntry(int dirFd, const ListedEntry& listed)
{
    const char* const name = listed.name.c_str();
    FileStatus own;
    const bool isDirectory = listed.type == DT_DIR ||
                             (listed.type == DT_UNKNOWN && QueryFileStatus(dirFd, name, false, &own) &&
                              IsDirectory(own));
    const EntryName entry = ListedEntryName(name, false);
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
