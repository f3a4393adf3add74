#include "cli/help_text_file.h"

#include "platform/path_calls.h"
#include "platform/unique_fd.h"
#include "platform/utf.h"

#include <cerrno>
#include <vector>

namespace {

// Far more than 1,024 units can come from: the rest of a longer file is cut
// away in any case.
constexpr std::size_t ReadLimit = 65536;

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Drops an incomplete UTF-8 sequence left at the end by the read limit.
std::string_view WithoutPartialSequence(std::string_view text)
{
    for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return needed > back ? text.substr(0, text.size() - back) : text;
    }
    return text;
}

} // namespace

std::optional<StoredHelp> StoredHelpFromUtf8(std::string_view utf8)
{
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    if (utf8.empty())
        return StoredHelp{};
    if (utf8.back() == '\n')
        utf8.remove_suffix(1);

    // The memo's text: the lines joined by CR LF.
    std::u16string memo;
    for (;;) {
        const std::size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto units = Utf8ToUtf16(line);
        if (!units)
            return std::nullopt;
        memo += *units;
        if (end == std::string_view::npos)
            break;
        memo += u"\r\n";
        utf8.remove_prefix(end + 1);
    }

    StoredHelp help;
    if (memo.size() + 2 > MaxStoredHelpUnits) {
        help.cut = true;
        memo.resize(MaxStoredHelpUnits - 2);
        if (IsHighSurrogate(memo.back()))
            memo.pop_back();
        if (memo.back() == u'\r')
            memo.pop_back();
    }
    help.text = memo + u"\r\n";
    return help;
}

HelpFileStatus ReadHelpFile(const std::string& path, StoredHelp* help)
{
    const UniqueFd fd(OpenForReading(path, true));
    if (!fd)
        return HelpFileStatus::CannotRead;
    std::vector<char> bytes(ReadLimit + 1);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const auto count = ::read(fd.Get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return HelpFileStatus::CannotRead;
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    std::string_view text(bytes.data(), filled);
    const bool beyondLimit = filled > ReadLimit;
    if (beyondLimit)
        text = WithoutPartialSequence(text.substr(0, ReadLimit));
    auto stored = StoredHelpFromUtf8(text);
    if (!stored)
        return HelpFileStatus::NotUtf8;
    stored->cut = stored->cut || beyondLimit;
    *help = std::move(*stored);
    return HelpFileStatus::Ok;
}
