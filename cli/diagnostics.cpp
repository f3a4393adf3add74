#include "cli/diagnostics.h"

#include "cli/exit_codes.h"

#include <cstdio>
#include <string>

void PrintError(std::string_view text)
{
    const std::string line = "ivqa: " + std::string(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

int UsageError(std::string_view command, std::string_view text)
{
    PrintError(text);
    const std::string hint = command.empty() ? std::string("Try 'ivqa --help'.\n")
                                             : "Try 'ivqa " + std::string(command) + " --help'.\n";
    std::fputs(hint.c_str(), stderr);
    return ExitUsage;
}
