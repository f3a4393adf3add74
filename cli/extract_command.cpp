// ivqa extract, list and test: an archive read as data, never run. The
// engine and its safety rules are those of the module's console mode, its
// texts in the language of the archive's module; standard output carries
// only the result, so that the commands work in pipelines.

#include "cli/archive_probe.h"
#include "cli/archive_refusal.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/extract_observer.h"
#include "cli/passphrase_input.h"
#include "cli/path_checks.h"
#include "cli/subcommand_args.h"
#include "cli/watched_payload.h"
#include "module/console_frontend.h"
#include "module/console_interrupt.h"
#include "module/display_text.h"
#include "module/extraction_engine.h"
#include "module/terminal_input.h"
#include "platform/utf.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr OptionSpec ExtractOptions[] = {{'\0', "dest", true}, {'\0', "keyfile", true}, {'\0', "overwrite", true},
                                         QuietOption,          VerboseOption,           {'h', "help", false}};
constexpr OptionSpec ReadOnlyOptions[] = {{'\0', "keyfile", true}, QuietOption, VerboseOption, {'h', "help", false}};

constexpr char ExtractUsage[] =
    "usage: ivqa extract ARCHIVE [--dest DIR] [--keyfile LOCATION] [--overwrite ask|always|never]\n"
    "                    [-q|-v]\n"
    "\n"
    "Restores the files and folders of ARCHIVE below DIR (default: the current\n"
    "folder) without running the archive. A DIR that does not exist is made,\n"
    "with its missing parents.\n"
    "\n"
    "      --dest DIR           where the entries are restored\n"
    "      --keyfile LOCATION   the keyfile: a path, or a file://, http:// or ftp:// URL\n"
    "      --overwrite WHEN     an existing file: ask (on a terminal, answered yes, no,\n"
    "                           all or none; otherwise it is kept, the default),\n"
    "                           always replace, never replace\n"
    "  -q, --quiet              nothing but errors on standard error\n"
    "  -v, --verbose            every entry's path on standard output as it is restored\n"
    "\n"
    "The passphrase is asked for without echo on a terminal; otherwise it is the\n"
    "first line of standard input (an empty line: none). At most 255 characters.\n";

constexpr char ListUsage[] =
    "usage: ivqa list ARCHIVE [--keyfile LOCATION] [-q|-v]\n"
    "\n"
    "Shows every entry of ARCHIVE on standard output, one line each: a folder as\n"
    "its path and \"/\", a file as its size, its last-write time (UTC) and its\n"
    "path. Writes nothing. Needs the passphrase and/or keyfile, as the names are\n"
    "encrypted.\n"
    "\n"
    "      --keyfile LOCATION   the keyfile: a path, or a file://, http:// or ftp:// URL\n"
    "  -q, --quiet              nothing but errors on standard error\n"
    "  -v, --verbose            the same as without it\n";

constexpr char TestUsage[] =
    "usage: ivqa test ARCHIVE [--keyfile LOCATION] [-q|-v]\n"
    "\n"
    "Decrypts, inflates and checks every block of ARCHIVE; writes nothing. The\n"
    "exit status tells the result.\n"
    "\n"
    "      --keyfile LOCATION   the keyfile: a path, or a file://, http:// or ftp:// URL\n"
    "  -q, --quiet              nothing but errors on standard error\n"
    "  -v, --verbose            every entry's path on standard output as it is checked\n";

struct ModeTraits {
    std::string_view command;
    std::span<const OptionSpec> options;
    const char* usage;
};

ModeTraits TraitsOf(ExtractMode mode)
{
    switch (mode) {
    case ExtractMode::List:
        return {"list", ReadOnlyOptions, ListUsage};
    case ExtractMode::Test:
        return {"test", ReadOnlyOptions, TestUsage};
    case ExtractMode::Extract:
        break;
    }
    return {"extract", ExtractOptions, ExtractUsage};
}

std::optional<OverwritePolicy> OverwriteByName(std::string_view name)
{
    if (SameNameIgnoringCase(name, "ask"))
        return OverwritePolicy::Ask;
    if (SameNameIgnoringCase(name, "always"))
        return OverwritePolicy::Always;
    if (SameNameIgnoringCase(name, "never"))
        return OverwritePolicy::Never;
    return std::nullopt;
}

struct ReadPlan {
    ExtractMode mode = ExtractMode::Extract;
    std::string archive;
    std::string keyfile;
    std::string destination;
    OverwritePolicy overwrite = OverwritePolicy::Ask;
};

std::string Joined(const std::string& folder, const std::string& entry)
{
    if (entry.empty())
        return folder;
    return folder == "." ? entry : folder + (folder.ends_with('/') ? "" : "/") + entry;
}

// One line naming what the failed run was working on and why.
int ReportRunFailure(ExtractResult result, int error, const ReadPlan& plan, const ModuleTexts& texts,
                     const WatchedPayloadArchive& archive, const ReadingObserver& observer)
{
    const auto code = static_cast<int>(result);
    const std::string_view text = texts.resultTexts[code];
    const std::string& entry = observer.CurrentPath();
    switch (result) {
    case ExtractResult::NoDiskSpace:
        PrintFailure(text, plan.destination);
        break;
    case ExtractResult::KeyfileError:
        PrintFailure(text, plan.keyfile, ReasonOf(error));
        break;
    case ExtractResult::ArchiveError: {
        const std::optional<int> failure = archive.Failure();
        PrintFailure(text, plan.archive, failure && *failure != 0 ? ReasonOf(*failure) : std::string(CutShortReason));
        break;
    }
    case ExtractResult::OutputFileError:
    case ExtractResult::OutputDirError:
        PrintFailure(text, Joined(plan.destination, entry), ReasonOf(error));
        break;
    case ExtractResult::Corrupted:
    case ExtractResult::DecompressorError:
        PrintFailure(text, plan.archive, entry.empty() ? std::string() : "at \"" + entry + "\"");
        break;
    default:
        PrintFailure(text, code == static_cast<int>(ExtractResult::WrongKey) ? plan.archive : std::string());
        break;
    }
    return code;
}

int Read(const ReadPlan& plan)
{
    // Every path is checked before the passphrase is typed.
    std::string reason;
    const auto layout = ProbeArchive(plan.archive, &reason);
    if (!layout)
        return RefuseArchive(plan.archive, reason);
    const ModuleTexts& texts = *layout->module->build.texts;
    const auto fail = [&](ExtractResult result, const std::string& path) {
        const auto code = static_cast<int>(result);
        PrintFailure(texts.resultTexts[code], path, reason);
        return code;
    };
    if (reason = LocalKeyfileProblem(plan.keyfile); !reason.empty())
        return fail(ExtractResult::KeyfileError, plan.keyfile);
    const auto keyfile = Utf8ToUtf16(plan.keyfile);
    if (!keyfile) {
        PrintError("the keyfile location is not valid UTF-8");
        return ExitUsage;
    }
    if (plan.mode == ExtractMode::Extract) {
        if (reason = DestinationProblem(plan.destination); !reason.empty())
            return fail(ExtractResult::OutputDirError, plan.destination);
    }
    const auto destinationUnits = Utf8ToUtf16(plan.destination);
    if (!destinationUnits) {
        PrintError("the destination is not valid UTF-8");
        return ExitUsage;
    }

    // The sender's help may say which passphrase is meant.
    if (IsTerminal(stdin) && !layout->help.empty() && CurrentVerbosity() != Verbosity::Quiet) {
        std::string help = ForTerminal(ToDisplayUtf8(layout->help));
        if (!help.ends_with('\n'))
            help.push_back('\n');
        std::fputs(help.c_str(), stderr);
    }
    ArchivePassphrase passphrase;
    const PassphraseStatus entered = passphrase.Read(stdin, stderr, true, false);
    if (entered != PassphraseStatus::Ok) {
        PrintError(PassphraseStatusText(entered));
        return ExitKeyInput;
    }
    if (passphrase.View().empty() && keyfile->empty()) {
        PrintError(texts.noKeyInput);
        return ExitKeyInput;
    }

    // Made only once the key input is in: a refused or interrupted prompt
    // leaves no folder behind.
    DestinationFolder destination;
    if (plan.mode == ExtractMode::Extract) {
        if (!destination.Prepare(plan.destination, &reason))
            return fail(ExtractResult::OutputDirError, plan.destination);
        if (destination.Created())
            PrintNote("created folder " + plan.destination);
    }

    const FilePayloadArchive file(plan.archive, layout->module->build.payloadOffset);
    const WatchedPayloadArchive archive(file);
    const auto fileSystem = MakeNativeExtractFileSystem();
    ProgressBar bar(stderr);
    ReadingObserver observer(plan.mode, texts, plan.overwrite, bar);
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = layout->helpLength;
    input.passphrase = passphrase.View();
    input.keyfileLocation = *keyfile;
    input.destination = *destinationUnits;
    input.mode = plan.mode;
    input.fileSystem = fileSystem.get();
    input.observer = &observer;
    errno = 0;
    ExtractResult result = ExtractResult::Done;
    try {
        // Ends the process at once while no file is being written; else the
        // run stops at its next checkpoint and removes the unfinished file.
        const ConsoleInterrupt interrupt(state.pending, stderr,
                                         IsTerminal(stderr) ? "\r\033[Kivqa: interrupted\n" : "ivqa: interrupted\n");
        result = RunExtraction(state, input);
    } catch (const ConsoleInterrupted&) {
        passphrase.Wipe();
        bar.Clear();
        destination.Withdraw();
        PrintError("interrupted");
        return ExitInterrupted;
    }
    const int error = errno;
    passphrase.Wipe();
    bar.Clear();
    if (result == ExtractResult::Done) {
        if (!observer.EndedInsideFolder())
            return ExitSuccess;
        return RefuseArchive(plan.archive, CutShortReason);
    }
    destination.Withdraw();
    return ReportRunFailure(result, error, plan, texts, archive, observer);
}

int ReadArchive(CommandArgs args, ExtractMode mode)
{
    const ModeTraits traits = TraitsOf(mode);
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, traits.options, traits.command, traits.usage, &status);
    if (!parsed)
        return status;
    if (parsed->Operands().size() != 1)
        return UsageError(traits.command, std::string(traits.command) + " takes one ARCHIVE");

    ReadPlan plan;
    plan.mode = mode;
    plan.archive = parsed->Operands().front();
    plan.destination = parsed->Value("dest").value_or(".");
    if (plan.destination.empty())
        return UsageError(traits.command, "--dest needs a folder");
    plan.keyfile = parsed->Value("keyfile").value_or("");
    if (const auto overwrite = parsed->Value("overwrite")) {
        const auto policy = OverwriteByName(*overwrite);
        if (!policy)
            return UsageError(traits.command, "--overwrite takes ask, always or never");
        plan.overwrite = *policy;
    }
    return Read(plan);
}

} // namespace

int RunExtractCommand(CommandArgs args)
{
    return ReadArchive(args, ExtractMode::Extract);
}

int RunListCommand(CommandArgs args)
{
    return ReadArchive(args, ExtractMode::List);
}

int RunTestCommand(CommandArgs args)
{
    return ReadArchive(args, ExtractMode::Test);
}
