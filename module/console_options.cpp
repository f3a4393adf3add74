#include "module/console_frontend.h"

#include <cstdio>

namespace {

// "--name value" or "--name=value".
bool TakeValue(std::string_view arg, std::string_view name, int* index, int count,
               const char* const* args, std::string* value, std::string* error)
{
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
        *value = std::string(arg.substr(name.size() + 1));
        return true;
    }
    if (*index + 1 >= count) {
        *error = std::string(name) + " needs a value";
        return false;
    }
    *value = args[++*index];
    return true;
}

bool Matches(std::string_view arg, std::string_view name)
{
    return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                           arg[name.size()] == '=');
}

} // namespace

std::optional<ConsoleOptions> ParseConsoleOptions(int count, const char* const* args, std::string* error)
{
    ConsoleOptions options;
    for (int i = 0; i < count; ++i) {
        const std::string_view arg = args[i];
        std::string value;
        if (arg == "--console") {
            options.console = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--test") {
            options.test = true;
        } else if (arg == "--help") {
            options.help = true;
        } else if (Matches(arg, "--dest")) {
            if (!TakeValue(arg, "--dest", &i, count, args, &options.destination, error))
                return std::nullopt;
        } else if (Matches(arg, "--keyfile")) {
            if (!TakeValue(arg, "--keyfile", &i, count, args, &options.keyfile, error))
                return std::nullopt;
        } else if (Matches(arg, "--overwrite")) {
            if (!TakeValue(arg, "--overwrite", &i, count, args, &value, error))
                return std::nullopt;
            if (value == "ask") {
                options.overwrite = OverwritePolicy::Ask;
            } else if (value == "always") {
                options.overwrite = OverwritePolicy::Always;
            } else if (value == "never") {
                options.overwrite = OverwritePolicy::Never;
            } else {
                *error = "--overwrite takes ask, always or never";
                return std::nullopt;
            }
        } else {
            *error = "unknown argument: " + std::string(arg);
            return std::nullopt;
        }
    }
    if (options.list && options.test) {
        *error = "--list and --test exclude each other";
        return std::nullopt;
    }
    return options;
}

ParsedConsoleArgs ParseConsoleArgs(int count, const char* const* args, std::string_view program)
{
    std::string error;
    auto options = ParseConsoleOptions(count, args, &error);
    const std::string usage = ConsoleUsage(program);
    if (!options) {
        std::fprintf(stderr, "%.*s: %s\n%s", static_cast<int>(program.size()), program.data(), error.c_str(),
                     usage.c_str());
        return {std::nullopt, ExitUsage};
    }
    if (options->help) {
        std::fputs(usage.c_str(), stdout);
        return {std::nullopt, 0};
    }
    return {std::move(options), 0};
}

std::string ConsoleUsage(std::string_view program)
{
    return "usage: " + std::string(program) +
           " [--console] [--dest DIR] [--keyfile LOCATION] [--overwrite ask|always|never]"
           " [--list] [--test] [--help]\n";
}
