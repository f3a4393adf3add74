#include "core/entry_name.h"

#include "core/archive_format.h"
#include "platform/utf.h"

#include <optional>

namespace {

bool IsDotOrDotDot(std::u16string_view name)
{
    return name == u"." || name == u"..";
}

} // namespace

EntryName CallerEntryName(const char16_t* path)
{
    EntryName entry;
    const std::u16string_view text(path != nullptr ? path : u"");
    entry.display = std::u16string(text);
    entry.followLink = true;

    const std::optional<std::string> utf8 = Utf16ToName(text);
    if (!utf8 || utf8->empty())
        return entry;
    entry.path = *utf8;

    std::u16string_view trimmed = text;
    while (trimmed.size() > 1 && trimmed.back() == u'/')
        trimmed.remove_suffix(1);
    if (trimmed == u"/") {
        entry.recorded = u"root";
    } else {
        const std::size_t slash = trimmed.rfind(u'/');
        entry.recorded = std::u16string(slash == std::u16string_view::npos ? trimmed
                                                                          : trimmed.substr(slash + 1));
    }
    entry.recordable = !entry.recorded.empty() && !IsDotOrDotDot(entry.recorded) &&
                       entry.recorded.size() <= MaxNameUnits;
    return entry;
}

EntryName ListedEntryName(const char* name, bool isLink)
{
    EntryName entry;
    entry.path = name;
    entry.followLink = isLink;
    entry.recorded = NameToUtf16(entry.path);
    entry.display = entry.recorded;
    entry.recordable = entry.recorded.size() <= MaxNameUnits;
    return entry;
}
