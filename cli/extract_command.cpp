// ivqa extract, list and test: an archive read as data, never run. The
// engine, its safety rules and its outputs are those of the module's
// console mode, in the language of the archive's module.

#include "cli/archive_probe.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/subcommand_args.h"
#include "module/console_frontend.h"
#include "module/extraction_engine.h"

#include <cstdio>

namespace {

enum class ReadMode { Extract, List, Test };

constexpr OptionSpec ExtractOptions[] = {
    {'\0', "dest", true}, {'\0', "keyfile", true}, {'\0', "overwrite", true}, {'h', "help", false}};
constexpr OptionSpec ReadOnlyOptions[] = {{'\0', "keyfile", true}, {'h', "help", false}};

constexpr char ExtractUsage[] =
    "usage: ivqa extract ARCHIVE [--dest DIR] [--keyfile LOCATION] [--overwrite ask|always|never]\n"
    "\n"
    "Restores the files and folders of ARCHIVE below DIR (default: the current\n"
    "folder, which must exist) without running the archive.\n"
    "\n"
    "      --dest DIR           where the entries are restored\n"
    "      --keyfile LOCATION   the keyfile: a path, or a file://, http:// or ftp:// URL\n"
    "      --overwrite WHEN     an existing file: ask (on a terminal; otherwise it is\n"
    "                           kept, the default), always replace, never replace\n"
    "\n"
    "The passphrase is asked for without echo on a terminal; otherwise it is the\n"
    "first line of standard input (an empty line: none).\n";

constexpr char ListUsage[] =
    "usage: ivqa list ARCHIVE [--keyfile LOCATION]\n"
    "\n"
    "Shows every entry of ARCHIVE with its size and last-write time; writes nothing.\n"
    "Needs the passphrase and/or keyfile, as the names are encrypted.\n";

constexpr char TestUsage[] =
    "usage: ivqa test ARCHIVE [--keyfile LOCATION]\n"
    "\n"
    "Decrypts, inflates and checks every block of ARCHIVE; writes nothing.\n";

struct ModeTraits {
    std::string_view command;
    std::span<const OptionSpec> options;
    const char* usage;
};

ModeTraits TraitsOf(ReadMode mode)
{
    switch (mode) {
    case ReadMode::List:
        return {"list", ReadOnlyOptions, ListUsage};
    case ReadMode::Test:
        return {"test", ReadOnlyOptions, TestUsage};
    case ReadMode::Extract:
        break;
    }
    return {"extract", ExtractOptions, ExtractUsage};
}

int ReadArchive(CommandArgs args, ReadMode mode)
{
    const ModeTraits traits = TraitsOf(mode);
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, traits.options, traits.command, traits.usage, &status);
    if (!parsed)
        return status;
    if (parsed->Operands().size() != 1)
        return UsageError(traits.command, std::string(traits.command) + " takes one ARCHIVE");

    ConsoleOptions options;
    options.console = true;
    options.list = mode == ReadMode::List;
    options.test = mode == ReadMode::Test;
    options.destination = parsed->Value("dest").value_or(".");
    options.keyfile = parsed->Value("keyfile").value_or("");
    if (const auto overwrite = parsed->Value("overwrite")) {
        if (*overwrite == "ask")
            options.overwrite = OverwritePolicy::Ask;
        else if (*overwrite == "always")
            options.overwrite = OverwritePolicy::Always;
        else if (*overwrite == "never")
            options.overwrite = OverwritePolicy::Never;
        else
            return UsageError(traits.command, "--overwrite takes ask, always or never");
    }

    const std::string& path = parsed->Operands().front();
    const auto layout = ProbeArchive(path);
    if (!layout) {
        PrintError(EnglishTexts.resultTexts[static_cast<int>(ExtractResult::ArchiveError)]);
        return static_cast<int>(ExtractResult::ArchiveError);
    }
    const FilePayloadArchive archive(path, layout->module->build.payloadOffset);
    const auto fileSystem = MakeNativeExtractFileSystem();
    return RunConsole(options, layout->module->build, archive, *fileSystem, {stdin, stdout, stderr});
}

} // namespace

int RunExtractCommand(CommandArgs args)
{
    return ReadArchive(args, ReadMode::Extract);
}

int RunListCommand(CommandArgs args)
{
    return ReadArchive(args, ReadMode::List);
}

int RunTestCommand(CommandArgs args)
{
    return ReadArchive(args, ReadMode::Test);
}
