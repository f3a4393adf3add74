#pragma once
// The module's console mode, also the extract, list and test commands of
// the command-line program: options, help print, passphrase prompt, log
// lines, overwrite question, listing, exit status.

#include "module/module_build.h"
#include "module/payload_source.h"
#include "platform/extract_fs.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

enum class OverwritePolicy { Ask, Always, Never };

struct ConsoleOptions {
    bool console = false;
    std::string destination = ".";
    std::string keyfile; // empty: none
    OverwritePolicy overwrite = OverwritePolicy::Ask;
    bool list = false;
    bool test = false;
    bool help = false;
};

inline constexpr int ExitNoKeyInput = 10;
inline constexpr int ExitUsage = 64;

// `args` are the arguments after the program name. Null with `*error` set
// for an unknown option, a missing or bad value, or a stray argument.
std::optional<ConsoleOptions> ParseConsoleOptions(int count, const char* const* args, std::string* error);

// "usage: PROGRAM [--console] ..." with a line end.
std::string ConsoleUsage(std::string_view program);

// The options, or, when the run ends with the arguments, its exit status:
// ExitUsage after the error and the usage on standard error, 0 after the
// usage on standard output for --help.
struct ParsedConsoleArgs {
    std::optional<ConsoleOptions> options;
    int exitStatus = 0;
};
ParsedConsoleArgs ParseConsoleArgs(int count, const char* const* args, std::string_view program);

struct ConsoleStreams {
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
};

// One console run: 0 for "Done!", otherwise the ExtractResult code, or
// ExitNoKeyInput, ExitUsage or, after Ctrl+C, ExitConsoleInterrupted
// (console_interrupt.h).
int RunConsole(const ConsoleOptions& options, const ModuleBuild& build, const PayloadArchive& archive,
               ExtractFileSystem& fileSystem, const ConsoleStreams& streams);
