#include "cli/diagnostics.h"

#include "cli/exit_codes.h"

#include <cstdio>
#include <cstring>

namespace {

Verbosity currentVerbosity = Verbosity::Normal;

} // namespace

void PrintError(std::string_view text)
{
    const std::string line = "ivqa: " + std::string(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void PrintFailure(std::string_view text, std::string_view path, std::string_view reason)
{
    std::string line(text);
    if (!path.empty())
        line += " " + std::string(path);
    if (!reason.empty())
        line += (path.empty() ? " " : ": ") + std::string(reason);
    PrintError(line);
}

std::string ReasonOf(int error)
{
    return error == 0 ? std::string() : std::string(std::strerror(error));
}

int UsageError(std::string_view command, std::string_view text)
{
    PrintError(text);
    const std::string hint = command.empty() ? std::string("Try 'ivqa --help'.\n")
                                             : "Try 'ivqa " + std::string(command) + " --help'.\n";
    std::fputs(hint.c_str(), stderr);
    return ExitUsage;
}

void SetVerbosity(Verbosity verbosity)
{
    currentVerbosity = verbosity;
}

Verbosity CurrentVerbosity()
{
    return currentVerbosity;
}

void PrintNote(std::string_view text)
{
    if (currentVerbosity != Verbosity::Quiet)
        PrintError(text);
}
