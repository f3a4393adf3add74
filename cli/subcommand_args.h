#pragma once
// The first steps every subcommand takes with its arguments.

#include "cli/command_line.h"

#include <optional>
#include <span>
#include <string_view>

inline constexpr OptionSpec QuietOption{'q', "quiet", false};
inline constexpr OptionSpec VerboseOption{'v', "verbose", false};

// Null with `*status` set when the run ends here: after a usage error
// (ExitUsage, message printed) or after --help (ExitSuccess, `usage`
// printed on standard output). -q/--quiet and -v/--verbose, where the
// command has them, set the verbosity.
std::optional<ParsedArguments> ParseSubcommandArgs(std::span<const char* const> args,
                                                   std::span<const OptionSpec> specs, std::string_view command,
                                                   const char* usage, int* status);
