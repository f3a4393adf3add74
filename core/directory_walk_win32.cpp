#include "core/archive_entries.h"
#include "core/entry_output.h"
#include "platform/win32_listing.h"
#include "platform/win32_path.h"

namespace {

// Links and junctions are followed, so what an entry is comes from its
// target; one whose target cannot be read is handed on as a file, whose
// query then fails and asks the skip question.
CoreResult AddListedEntry(SdaContext& context, const ListedEntry& listed, int level)
{
    const bool isLink = (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const EntryName entry = ListedEntryName(listed.path, listed.name, isLink);
    FileStatus target;
    const bool isDirectory = QueryFileStatus(-1, entry.path.c_str(), true, &target) && IsDirectory(target);
    return isDirectory ? AddDirEntry(context, -1, entry, level) : AddFileEntry(context, -1, entry, level);
}

} // namespace

CoreResult AddDirEntry(SdaContext& context, int /*dirFd*/, const EntryName& entry, int level)
{
    context.PushDirectory(std::make_unique<DirNode>());
    DirNode& node = *context.innermost;
    const char16_t* const name = entry.display.c_str();
    context.output->Name(name);

    FileStatus status;
    const auto wide = WidePath(entry.path);
    if (!entry.recordable || !wide || !QueryFileStatus(-1, entry.path.c_str(), entry.followLink, &status))
        return context.SkipInnermostDirectory(name);

    // A directory already on the chain (reached again through a junction)
    // would never end. The identity is the open handle's, so a swap after
    // the query cannot slip past the check.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (entry.followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    node.handle.Reset(CreateFileW(wide->c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr));
    FileStatus opened;
    if (!node.handle || !QueryHandleFileStatus(node.handle.Get(), &opened) || !IsDirectory(opened) ||
        context.OnChain(opened))
        return context.SkipInnermostDirectory(name);
    node.status = status;
    node.status.device = opened.device;
    node.status.inode = opened.inode;
    node.path = entry.path;

    if (const CoreResult result = context.output->DirEnter(node.status.creationTime, entry.recorded);
        result != IQ_OK)
        return result;

    if (const CoreResult result = ForEachFolderEntry(
            node.handle.Get(), node.path, CoreResult{IQ_OK}, CoreResult{IQ_INPUT_DIR_ERROR},
            [&](const ListedEntry& listed) { return AddListedEntry(context, listed, level); });
        result != IQ_OK)
        return result;

    if (const CoreResult result = context.output->DirLeave(); result != IQ_OK)
        return result;
    context.PopDirectory();
    return IQ_OK;
}
