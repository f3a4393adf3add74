#include "core/entry_removal.h"

#include "platform/file_status.h"
#include "platform/utf.h"

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

CoreResult FileDeleter::Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop)
{
    const char16_t* const name = entry.display.c_str();
    callbacks_.ReportName(name);

    // The read-only test stands in for the attribute that blocks deletion;
    // a link's own permission bits mean nothing.
    FileStatus status;
    const bool removable = QueryFileStatus(dirFd, entry.path.c_str(), false, &status) &&
                           (walkTop == nullptr || status.device == walkTop->device) &&
                           (IsSymbolicLink(status) || (status.mode & S_IWUSR) != 0);
    if (!removable || ::unlinkat(dirFd, entry.path.c_str(), 0) != 0)
        return callbacks_.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;
    return IQ_OK;
}

namespace {

PinnedPath Pin(std::u16string_view text, bool dropTrailingSlashes)
{
    PinnedPath pinned;
    pinned.entry.display = std::u16string(text);
    pinned.entry.followLink = false;
    std::optional<std::string> utf8 = Utf16ToName(text);
    if (!utf8)
        return pinned;
    std::string& path = *utf8;
    if (dropTrailingSlashes)
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();

    std::string parent = ".";
    if (path == "/") {
        parent = "/";
        path = ".";
    } else if (const std::size_t slash = path.rfind('/'); slash != std::string::npos) {
        parent = slash == 0 ? "/" : path.substr(0, slash);
        path.erase(0, slash + 1);
    }
    // O_PATH: the steps below need the handle, not the right to list it.
    pinned.parent.Reset(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    pinned.entry.path = std::move(path);
    return pinned;
}

} // namespace

PinnedPath PinCallerFile(const char16_t* path)
{
    return Pin(path != nullptr ? path : u"", false);
}

PinnedPath PinCallerDir(const char16_t* path)
{
    return Pin(path != nullptr ? path : u"", true);
}
