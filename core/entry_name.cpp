#include "core/entry_name.h"

#include "core/archive_format.h"
#include "platform/utf.h"

#include <optional>

namespace {

bool IsDotOrDotDot(std::u16string_view name)
{
    return name == u"." || name == u"..";
}

// The expected length of the UTF-8 sequence led by `lead`; 1 for a byte that
// cannot lead one, so that the caller reports it and moves on.
std::size_t SequenceLength(unsigned char lead)
{
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

} // namespace

std::u16string Utf8ToUtf16Lossy(std::string_view text)
{
    std::u16string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[pos]));
        char16_t units[2];
        std::size_t written = 0;
        if (pos + length <= text.size() &&
            Utf8ToUtf16(text.substr(pos, length), units, 2, &written)) {
            result.append(units, written);
            pos += length;
        } else {
            result.push_back(u'\uFFFD');
            ++pos;
        }
    }
    return result;
}

EntryName CallerEntryName(const char16_t* path)
{
    EntryName entry;
    const std::u16string_view text(path != nullptr ? path : u"");
    entry.display = std::u16string(text);
    entry.followLink = true;

    const std::optional<std::string> utf8 = Utf16ToUtf8(text);
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
    if (std::optional<std::u16string> units = Utf8ToUtf16(entry.path)) {
        entry.display = *units;
        entry.recorded = std::move(*units);
        entry.recordable = entry.recorded.size() <= MaxNameUnits;
    } else {
        entry.display = Utf8ToUtf16Lossy(entry.path);
    }
    return entry;
}
