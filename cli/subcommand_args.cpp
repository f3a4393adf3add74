#include "cli/subcommand_args.h"

#include "cli/diagnostics.h"
#include "cli/exit_codes.h"

#include <cstdio>
#include <string>

std::optional<ParsedArguments> ParseSubcommandArgs(std::span<const char* const> args,
                                                   std::span<const OptionSpec> specs, std::string_view command,
                                                   const char* usage, int* status)
{
    std::string error;
    auto parsed = ParseArguments(args, specs, &error);
    if (!parsed) {
        *status = UsageError(command, error);
        return std::nullopt;
    }
    if (parsed->Has("help")) {
        std::fputs(usage, stdout);
        *status = ExitSuccess;
        return std::nullopt;
    }
    if (parsed->Has("quiet") && parsed->Has("verbose")) {
        *status = UsageError(command, "-q and -v exclude each other");
        return std::nullopt;
    }
    SetVerbosity(parsed->Has("quiet")     ? Verbosity::Quiet
                 : parsed->Has("verbose") ? Verbosity::Verbose
                                          : Verbosity::Normal);
    return parsed;
}
