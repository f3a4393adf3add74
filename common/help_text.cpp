#include "common/help_text.h"

#include "platform/utf.h"

#include <algorithm>

namespace {

// The memo's lines joined by LF, without the empty last line it does not
// count.
std::u16string_view CountedText(std::u16string_view memo)
{
    if (!memo.empty() && memo.back() == u'\n')
        memo.remove_suffix(1);
    return memo;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

std::u16string MemoTextFromLines(std::u16string_view text)
{
    std::u16string memo;
    memo.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == u'\r') {
            memo += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (unit != u'\0') {
            memo += unit;
        }
    }
    return memo;
}

std::u16string StoredHelpFromMemo(std::u16string_view memo)
{
    if (memo.empty())
        return {};
    std::u16string help;
    for (const char16_t unit : CountedText(memo)) {
        if (unit == u'\n')
            help += u"\r\n";
        else
            help += unit;
    }
    return help + u"\r\n";
}

std::size_t StoredHelpLength(std::u16string_view memo)
{
    if (memo.empty())
        return 0;
    const std::u16string_view text = CountedText(memo);
    // Each line break becomes CR LF, and the last line gets one too.
    return text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 2;
}

std::u16string_view MemoCutToLimit(std::u16string_view memo, std::size_t limit)
{
    if (StoredHelpLength(memo) <= limit)
        return memo;
    // A non-empty text's help text is longer than the text itself, so the
    // result lies within the first `limit` units; the length only grows
    // with every unit added, so cutting back from there finds the longest.
    std::u16string_view text = memo.substr(0, limit);
    const auto dropSplitPair = [&text] {
        if (!text.empty() && IsHighSurrogate(text.back()))
            text.remove_suffix(1);
    };
    dropSplitPair();
    while (StoredHelpLength(text) > limit) {
        text.remove_suffix(1);
        dropSplitPair();
    }
    return text;
}

std::optional<StoredHelp> StoredHelpFromUtf8(std::string_view utf8)
{
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    const auto units = Utf8ToUtf16(utf8);
    if (!units)
        return std::nullopt;
    const std::u16string memo = MemoTextFromLines(*units);
    const std::u16string_view kept = MemoCutToLimit(memo);
    return StoredHelp{StoredHelpFromMemo(kept), kept.size() < memo.size()};
}
