#include "cli/wipe_options.h"

#include <string_view>

namespace {

constexpr long MaxPasses = 32;

std::optional<std::uint32_t> MethodByName(std::string_view name)
{
    static constexpr std::string_view names[] = {"fast", "dod", "gutmann"};
    for (std::uint32_t method = 0; method < std::size(names); ++method) {
        if (SameNameIgnoringCase(name, names[method]))
            return method;
    }
    return std::nullopt;
}

} // namespace

std::optional<WipeSettings> ParseWipeSettings(const ParsedArguments& parsed, std::string* error)
{
    WipeSettings settings;
    if (const auto name = parsed.Value("method")) {
        const auto known = MethodByName(*name);
        if (!known) {
            *error = "-m takes fast, dod or gutmann";
            return std::nullopt;
        }
        settings.method = *known;
    }
    if (const auto text = parsed.Value("passes")) {
        const auto number = ParseNumber(*text, 1, MaxPasses);
        if (!number) {
            *error = "-n takes a number of passes from 1 to 32";
            return std::nullopt;
        }
        settings.passes = static_cast<std::uint32_t>(*number);
    }
    return settings;
}
