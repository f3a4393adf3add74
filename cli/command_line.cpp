#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>

std::optional<std::string> ParsedArguments::Value(std::string_view longName) const
{
    for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
        if (it->first == longName)
            return it->second;
    }
    return std::nullopt;
}

bool ParsedArguments::Has(std::string_view longName) const
{
    return std::any_of(options_.begin(), options_.end(), [&](const auto& option) { return option.first == longName; });
}

std::optional<ParsedArguments> ParseArguments(std::span<const char* const> args, std::span<const OptionSpec> specs,
                                              std::string* error)
{
    ParsedArguments parsed;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            parsed.operands_.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }

        const OptionSpec* matched = nullptr;
        std::optional<std::string> attached; // value written into the same argument
        std::string shown;
        if (arg[1] == '-') {
            const std::string_view body = arg.substr(2);
            const std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            if (equals != std::string_view::npos)
                attached = std::string(body.substr(equals + 1));
            shown = "--" + std::string(name);
            for (const OptionSpec& candidate : specs) {
                if (candidate.longName == name)
                    matched = &candidate;
            }
        } else {
            shown = std::string(arg.substr(0, 2));
            for (const OptionSpec& candidate : specs) {
                if (candidate.shortName != '\0' && candidate.shortName == arg[1])
                    matched = &candidate;
            }
            if (matched != nullptr && arg.size() > 2) {
                if (!matched->takesValue) {
                    *error = "option " + shown + " takes no value";
                    return std::nullopt;
                }
                attached = std::string(arg.substr(2));
            }
        }
        if (matched == nullptr) {
            *error = "unknown option " + shown;
            return std::nullopt;
        }
        if (!matched->takesValue) {
            if (attached) {
                *error = "option " + shown + " takes no value";
                return std::nullopt;
            }
            parsed.options_.emplace_back(matched->longName, std::string());
            continue;
        }
        if (!attached) {
            if (i + 1 >= args.size()) {
                *error = "option " + shown + " needs a value";
                return std::nullopt;
            }
            attached = std::string(args[++i]);
        }
        parsed.options_.emplace_back(matched->longName, std::move(*attached));
    }
    return parsed;
}

std::optional<long> ParseNumber(std::string_view text, long minimum, long maximum)
{
    long value = 0;
    const char* const end = text.data() + text.size();
    const auto [rest, failure] = std::from_chars(text.data(), end, value);
    if (text.empty() || failure != std::errc() || rest != end || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

bool SameNameIgnoringCase(std::string_view typed, std::string_view name)
{
    return std::equal(typed.begin(), typed.end(), name.begin(), name.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}
