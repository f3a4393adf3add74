#include "core/archive_entries.h"
#include "core/entry_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {

// Links are followed, so what a listing entry is comes from its target; a
// link whose target cannot be read is handed on as a file, whose attribute
// query then fails and asks the skip question.
CoreResult AddListedEntry(SdaContext& context, int dirFd, const ListedEntry& listed, int level)
{
    const char* const name = listed.name.c_str();
    FileStatus own;
    const bool isLink = listed.type == DT_LNK ||
                        (listed.type == DT_UNKNOWN && QueryFileStatus(dirFd, name, false, &own) &&
                         IsSymbolicLink(own));
    const EntryName entry = ListedEntryName(name, isLink);

    // A listing that names the type spares a query per entry; the entry's
    // own query follows in either case.
    bool isDirectory = listed.type == DT_DIR;
    if (listed.type != DT_DIR && listed.type != DT_REG) {
        FileStatus target;
        isDirectory = QueryFileStatus(dirFd, name, true, &target) && IsDirectory(target);
    }
    return isDirectory ? AddDirEntry(context, dirFd, entry, level) : AddFileEntry(context, dirFd, entry, level);
}

} // namespace

CoreResult AddDirEntry(SdaContext& context, int dirFd, const EntryName& entry, int level)
{
    context.PushDirectory(std::make_unique<DirNode>());
    DirNode& node = *context.innermost;
    const char16_t* const name = entry.display.c_str();
    context.output->Name(name);

    FileStatus status;
    if (!entry.recordable || !QueryFileStatus(dirFd, entry.path.c_str(), entry.followLink, &status))
        return context.SkipInnermostDirectory(name);

    // Entering: a directory already on the chain (reached again through a
    // link) would never end, so it cannot be entered. The identity is the
    // open handle's, so a swap after the query cannot slip past the check.
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | (entry.followLink ? 0 : O_NOFOLLOW);
    node.handle.Reset(::openat(dirFd, entry.path.c_str(), flags));
    FileStatus opened;
    if (!node.handle || !QueryOpenFileStatus(node.handle.Get(), &opened) || context.OnChain(opened))
        return context.SkipInnermostDirectory(name);
    node.status = status;
    node.status.device = opened.device;
    node.status.inode = opened.inode;
    node.throughLink = entry.followLink;

    if (const CoreResult result = context.output->DirEnter(node.status.creationTime, entry.recorded);
        result != IQ_OK)
        return result;

    if (!node.listing.Start(std::move(node.handle)))
        return IQ_INPUT_DIR_ERROR;
    context.HoldFewLevels();

    if (const CoreResult result = ForEachLevelEntry(
            node.listing, CoreResult{IQ_OK}, CoreResult{IQ_INPUT_DIR_ERROR},
            [&](const ListedEntry& listed) { return AddListedEntry(context, node.Fd(), listed, level); });
        result != IQ_OK)
        return result;

    if (const CoreResult result = context.output->DirLeave(); result != IQ_OK)
        return result;
    if (!context.RetakeParent())
        return IQ_INPUT_DIR_ERROR;
    context.PopDirectory();
    return IQ_OK;
}
