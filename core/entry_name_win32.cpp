#include "core/entry_name.h"

#include "core/archive_format.h"
#include "platform/win32_long_path.h"
#include "platform/win32_path.h"

namespace {

bool IsSeparator(char16_t unit)
{
    return unit == u'\\' || unit == u'/';
}

bool Recordable(std::u16string_view name)
{
    return !name.empty() && name != u"." && name != u".." && name.size() <= MaxNameUnits;
}

} // namespace

EntryName CallerEntryName(const char16_t* path)
{
    EntryName entry;
    const std::u16string_view text(path != nullptr ? path : u"");
    entry.display = std::u16string(text);
    entry.followLink = true;
    if (text.empty() || text.find(u'\0') != std::u16string_view::npos)
        return entry;
    const auto utf8 = Utf8OfWide(ExtendedPath(text));
    if (!utf8 || utf8->empty())
        return entry;
    entry.path = *utf8;

    std::u16string_view trimmed = text;
    while (trimmed.size() > 1 && IsSeparator(trimmed.back()))
        trimmed.remove_suffix(1);
    if (trimmed.size() == 2 && trimmed[1] == u':') {
        entry.recorded = std::u16string(trimmed.substr(0, 1));
    } else {
        std::size_t start = trimmed.size();
        while (start > 0 && !IsSeparator(trimmed[start - 1]))
            --start;
        entry.recorded = std::u16string(trimmed.substr(start));
    }
    entry.recordable = Recordable(entry.recorded);
    return entry;
}

EntryName ListedEntryName(const std::string& path, std::wstring_view name, bool isLink)
{
    EntryName entry;
    entry.path = path;
    entry.followLink = isLink;
    entry.recorded = Utf16Of(name);
    entry.display = entry.recorded;
    entry.recordable = !path.empty() && Recordable(entry.recorded);
    return entry;
}
