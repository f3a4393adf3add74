// ivqa: the command-line program over libivqa and the module's extraction
// engine, for scripts and machines without a display.

#include "cli/program.h"

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "platform/process_hardening.h"

#include <cstdio>
#ifndef IVQA_ZLIB_COMPRESSOR_ONLY
#include <libdeflate.h>
#endif
#include <zlib.h>
#include <string>
#include <string_view>

#ifndef IVQA_VERSION
#error "IVQA_VERSION must be defined by the build"
#endif

namespace {

struct Subcommand {
    std::string_view name;
    int (*run)(CommandArgs);
    std::string_view summary;
};

constexpr Subcommand Subcommands[] = {
    {"create", &RunCreateCommand, "write a self-decrypting archive of files and folders"},
    {"extract", &RunExtractCommand, "restore an archive's contents without running it"},
    {"list", &RunListCommand, "show an archive's entries"},
    {"test", &RunTestCommand, "check every block of an archive"},
    {"info", &RunInfoCommand, "show module language and system, cipher, payload size, help text"},
    {"wipe", &RunWipeCommand, "overwrite files and folders, then delete them"},
    {"rm", &RunRmCommand, "delete files and folders without overwriting"},
    {"passgen", &RunPassgenCommand, "print random passphrases"},
    {"keygen", &RunKeygenCommand, "write a random keyfile"},
    {"browser-page", &RunBrowserPageCommand, "copy the page that restores archives in a browser"},
};

void PrintUsage(std::FILE* stream)
{
    std::fputs("usage: ivqa COMMAND [OPTION]... [ARGUMENT]...\n"
               "       ivqa help [COMMAND] | --help | --version\n\n"
               "Commands:\n",
               stream);
    for (const Subcommand& command : Subcommands)
        std::fprintf(stream, "  %-12.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                     static_cast<int>(command.summary.size()), command.summary.data());
    std::fputs("\n'ivqa COMMAND --help' describes each command.\n"
               "Exit status: 0 on success, the library's or the extractor's result code\n"
               "(1 to 9) on a failure, 10 without usable passphrase or keyfile, 64 for a\n"
               "usage error, 130 when interrupted.\n",
               stream);
}

void PrintVersion()
{
    // The library and the archive format go with the release: every release
    // reads and writes the one format.
    std::printf("ivqa (Ironquiver Self-Decryptor) " IVQA_VERSION "\n"
                "archive format " IVQA_VERSION "\n"
                "libivqa " IVQA_VERSION "\n"
#ifdef IVQA_ZLIB_COMPRESSOR_ONLY
                "zlib %s\n",
#else
                "zlib %s, libdeflate " LIBDEFLATE_VERSION_STRING "\n",
#endif
                zlibVersion());
}

const Subcommand* FindSubcommand(std::string_view name)
{
    for (const Subcommand& command : Subcommands) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

} // namespace

int RunProgram(int argc, char** argv)
{
    HardenProcess();
    if (argc < 2) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    const std::string_view first = argv[1];
    if (first == "help" && argc == 3) {
        const Subcommand* command = FindSubcommand(argv[2]);
        if (command == nullptr)
            return UsageError("", "unknown command " + std::string(argv[2]));
        const char* const helpArgs[] = {"--help"};
        return command->run(CommandArgs(helpArgs));
    }
    if (first == "--help" || first == "-h" || (first == "help" && argc == 2)) {
        PrintUsage(stdout);
        return ExitSuccess;
    }
    if (first == "--version" || first == "-V") {
        PrintVersion();
        return ExitSuccess;
    }
    if (const Subcommand* command = FindSubcommand(first))
        return command->run(CommandArgs(argv + 2, static_cast<std::size_t>(argc - 2)));
    if (first == "help")
        return UsageError("", "help takes at most one COMMAND");
    return UsageError("", first.starts_with('-') ? "unknown option " + std::string(first)
                                                 : "unknown command " + std::string(first));
}
