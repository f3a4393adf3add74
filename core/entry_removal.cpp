#include "core/entry_removal.h"

#include "platform/file_status.h"
#include "platform/utf.h"

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

void RemovalCallbacks::ReportName(const char16_t* name) const
{
    if (onName != nullptr)
        onName(name);
}

bool RemovalCallbacks::AskSkip(const char16_t* name) const
{
    return onSkip != nullptr && onSkip(name) != 0;
}

CoreResult FileDeleter::Remove(int dirFd, const EntryName& entry)
{
    const char16_t* const name = entry.display.c_str();
    callbacks_.ReportName(name);

    // The read-only test stands in for the attribute that blocks deletion;
    // a link's own permission bits mean nothing.
    FileStatus status;
    const bool removable = QueryFileStatus(dirFd, entry.path.c_str(), false, &status) &&
                           (IsSymbolicLink(status) || (status.mode & S_IWUSR) != 0);
    if (!removable || ::unlinkat(dirFd, entry.path.c_str(), 0) != 0)
        return callbacks_.AskSkip(name) ? IQ_OK : IQ_INPUT_FILE_ERROR;
    return IQ_OK;
}

EntryName CallerFilePath(const char16_t* path)
{
    EntryName entry;
    const std::u16string_view text(path != nullptr ? path : u"");
    entry.display = std::u16string(text);
    entry.followLink = false;
    if (std::optional<std::string> utf8 = Utf16ToUtf8(text))
        entry.path = std::move(*utf8);
    return entry;
}

EntryName CallerDirPath(const char16_t* path)
{
    EntryName entry = CallerFilePath(path);
    while (entry.path.size() > 1 && entry.path.back() == '/')
        entry.path.pop_back();
    return entry;
}
