#include "module/help_text.h"

#include "core/archive_format.h"
#include "platform/utf.h"

#include <algorithm>
#include <vector>

std::optional<LoadedHelp> LoadHelpText(const PayloadArchive& archive, const ModuleBuild& build)
{
    LoadedHelp help;
    help.text = Utf8ToUtf16(build.texts->aboutText).value_or(u"");

    const auto reader = archive.Open();
    std::uint8_t lengthField[2];
    if (!reader || !reader->ReadExact(lengthField, 2))
        return std::nullopt;
    help.helpLength = LoadLe16(lengthField);
    if (help.helpLength > build.maxHelpUnits)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(2 * std::size_t{help.helpLength});
    if (!reader->ReadExact(bytes.data(), bytes.size()))
        return std::nullopt;

    const std::size_t room = build.helpTextUnits - std::min(build.helpTextUnits, help.text.size());
    const std::size_t shown = std::min<std::size_t>(help.helpLength, room);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto unit = static_cast<char16_t>(LoadLe16(bytes.data() + 2 * i));
        if (unit == 0)
            break;
        help.text.push_back(unit);
    }
    return help;
}
