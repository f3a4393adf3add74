#include "core/entry_removal.h"

#include "platform/file_status.h"
#include "platform/win32_listing.h"
#include "platform/win32_long_path.h"
#include "platform/win32_path.h"

CoreResult FileDeleter::Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop)
{
    const char16_t* const name = entry.display.c_str();
    callbacks_.ReportName(name);

    // A read-only file is not deleted: its attribute is not cleared. A link
    // or junction goes itself, whatever its target's attributes; a folder is
    // no file.
    FileStatus status;
    const bool removable =
        QueryFileStatus(dirFd, entry.path.c_str(), false, &status) &&
        (walkTop == nullptr || status.device == walkTop->device) &&
        (IsSymbolicLink(status) || (!IsDirectory(status) && (status.attributes & FILE_ATTRIBUTE_READONLY) == 0));
    if (!removable || !DeleteEntryItself(entry.path, status.attributes))
        return callbacks_.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;
    return IQ_OK;
}

namespace {

PinnedPath Pin(std::u16string_view text)
{
    PinnedPath pinned;
    pinned.entry.display = std::u16string(text);
    pinned.entry.followLink = false;
    if (text.empty() || text.find(u'\0') != std::u16string_view::npos)
        return pinned;
    // Absolute and without trailing separators (a drive root keeps its
    // own), so "link\" names the link, not what it leads to.
    if (const auto utf8 = Utf8OfWide(ExtendedPath(text)))
        pinned.entry.path = *utf8;
    return pinned;
}

} // namespace

PinnedPath PinCallerFile(const char16_t* path)
{
    return Pin(path != nullptr ? path : u"");
}

PinnedPath PinCallerDir(const char16_t* path)
{
    return Pin(path != nullptr ? path : u"");
}
