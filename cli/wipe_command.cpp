// ivqa wipe and ivqa rm: the library's wipe and delete engine over the
// operands in order, after a confirmation.

#include "cli/command_line.h"
#include "cli/commands.h"
#include "common/result_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/input_paths.h"
#include "cli/interrupt_guard.h"
#include "cli/run_observer.h"
#include "cli/subcommand_args.h"
#include "cli/wipe_options.h"
#include "module/terminal_input.h"
#include "platform/copy_on_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// What one pass writes at a time, the unit of the library's steps.
constexpr std::uint64_t WipeBufferSize = 524288;

constexpr OptionSpec WipeOptions[] = {{'m', "method", true}, {'n', "passes", true}, {'\0', "yes", false},
                                      QuietOption,           VerboseOption,         {'h', "help", false}};
constexpr OptionSpec RmOptions[] = {{'\0', "yes", false}, QuietOption, VerboseOption, {'h', "help", false}};

constexpr char WipeUsage[] =
    "usage: ivqa wipe [-m fast|dod|gutmann] [-n PASSES] [--yes] [-q|-v] PATH...\n"
    "\n"
    "Overwrites every file in place, flushing each pass, and deletes it; folders\n"
    "are emptied depth-first and removed. Links are removed, never followed.\n"
    "\n"
    "  -m, --method NAME   fast (one pass of zeros), dod (DoD-5220.22-M, three\n"
    "                      passes, the default) or gutmann (Peter Gutmann's, 35)\n"
    "  -n, --passes N      how often the method is repeated, 1 to 32 (default 8)\n"
    "      --yes           do not ask for confirmation (needed without a terminal)\n"
    "  -q, --quiet         nothing but errors on standard error\n"
    "  -v, --verbose       every entry's name on standard error as it is wiped\n"
    "\n"
    "A PATH that fails is reported and the others are still wiped; the exit\n"
    "status is then the first failure's, after a line counting both.\n";

constexpr char RmUsage[] =
    "usage: ivqa rm [--yes] [-q|-v] PATH...\n"
    "\n"
    "Deletes files and folder trees without overwriting them. Links are removed,\n"
    "never followed; read-only files are not deleted.\n"
    "\n"
    "      --yes           do not ask for confirmation (needed without a terminal)\n"
    "  -q, --quiet         nothing but errors on standard error\n"
    "  -v, --verbose       every entry's name on standard error as it is deleted\n"
    "\n"
    "A PATH that fails is reported and the others are still deleted; the exit\n"
    "status is then the first failure's, after a line counting both.\n";

struct RemovalTraits {
    std::string_view command;
    std::span<const OptionSpec> options;
    const char* usage;
    const char* question;
    bool wipe;
};

const RemovalTraits WipeTraits{"wipe", WipeOptions, WipeUsage, "Do you realy want to wipe files?", true};
const RemovalTraits RmTraits{"rm", RmOptions, RmUsage, "Do you really want to delete files?", false};

bool Confirmed(const RemovalTraits& traits)
{
    std::fprintf(stderr, "%s [y/N] ", traits.question);
    std::fflush(stderr);
    char answer[16];
    const long length = ReadInputLine(stdin, answer, sizeof answer, false);
    return length > 0 && (answer[0] == 'y' || answer[0] == 'Y');
}

struct RemovalTally {
    CoreResult firstFailure = IQ_OK;
    std::size_t removed = 0;
    std::size_t failed = 0;
};

using WipeStart = std::function<CoreResult(WipeContext**)>;

// Every operand in turn, a failed one reported and passed over; `context`
// null: delete without overwriting. Only an interrupt ends the walk early.
RemovalTally RemoveEach(const std::vector<std::string>& operands, WipeContext*& context, const WipeStart& start,
                        const LibraryCallbacks& callbacks, RunObserver& observer)
{
    RemovalTally tally;
    for (const std::string& operand : operands) {
        if (InterruptRequested()) {
            tally.firstFailure = IQ_ABORTED;
            return tally;
        }
        const InputPath input = ResolveInput(operand, false);
        observer.SetOperand(input.shown, input.directory, false);
        const std::size_t reportedBefore = observer.FailuresReported();
        CoreResult result = IQ_OK;
        errno = 0;
        if (!input.units) {
            if (!observer.AskSkip(input.shown))
                result = input.directory ? IQ_INPUT_DIR_ERROR : IQ_INPUT_FILE_ERROR;
        } else if (context != nullptr) {
            result = input.directory ? IQ_WipeDir(context, input.units->c_str())
                                     : IQ_WipeFile(context, input.units->c_str());
        } else {
            result = input.directory ? IQ_RmDir(input.units->c_str(), callbacks.name, callbacks.skip)
                                     : IQ_RmFile(input.units->c_str(), callbacks.name, callbacks.skip);
        }
        const int error = errno;
        if (result == IQ_ABORTED || InterruptRequested()) {
            tally.firstFailure = IQ_ABORTED;
            return tally;
        }
        if (result == IQ_OK) {
            ++tally.removed;
            continue;
        }
        ++tally.failed;
        // The wipe engine takes no further path after a failed one: the
        // next operand gets a fresh one.
        if (context != nullptr) {
            IQ_WipeFinal(context);
            context = nullptr;
            if (start(&context) != IQ_OK) {
                tally.failed = operands.size() - tally.removed;
                if (tally.firstFailure == IQ_OK)
                    tally.firstFailure = result;
                PrintFailure(CoreResultText(result), input.shown, ReasonOf(error));
                return tally;
            }
        }
        if (tally.firstFailure == IQ_OK)
            tally.firstFailure = result;
        // One line per failure: the skip question has already named it.
        if (observer.FailuresReported() == reportedBefore)
            PrintFailure(CoreResultText(result), input.shown, ReasonOf(error));
    }
    return tally;
}

int Remove(CommandArgs args, const RemovalTraits& traits)
{
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, traits.options, traits.command, traits.usage, &status);
    if (!parsed)
        return status;
    std::string error;
    const auto settings = ParseWipeSettings(*parsed, &error);
    if (!settings)
        return UsageError(traits.command, error);
    const std::vector<std::string>& operands = parsed->Operands();
    if (operands.empty())
        return UsageError(traits.command, std::string(traits.command) + " needs at least one PATH");
    for (const std::string& operand : operands) {
        if (NamesDotEntry(operand))
            return UsageError(traits.command, "refusing to remove '.' or '..': " + operand);
    }

    if (traits.wipe && std::any_of(operands.begin(), operands.end(), [](const std::string& operand) {
            return IsOnCopyOnWriteFileSystem(operand.c_str());
        }))
        std::fprintf(stderr, "%s\n", CopyOnWriteNotice);

    if (!parsed->Has("yes")) {
        if (!IsTerminal(stdin))
            return UsageError(traits.command, "standard input is not a terminal to confirm on; give --yes");
        if (!Confirmed(traits))
            return ExitSuccess;
    }

    InterruptGuard interrupts;
    ProgressBar bar(stderr);
    RunObserver observer(bar, WipeBufferSize, {"Can not remove ", false}, SkipPolicy::Ask, stdin);
    const CallbackScope scope(observer);
    const LibraryCallbacks callbacks = CallbackScope::Callbacks();

    WipeContext* context = nullptr;
    const WipeStart start = [&](WipeContext** made) {
        return IQ_WipeInit(made, settings->passes, settings->method, callbacks.name, callbacks.range,
                           callbacks.step, callbacks.skip);
    };
    if (traits.wipe) {
        if (const CoreResult started = start(&context); started != IQ_OK) {
            PrintError(CoreResultText(started));
            return static_cast<int>(started);
        }
    }
    const RemovalTally tally = RemoveEach(operands, context, start, callbacks, observer);
    IQ_WipeFinal(context);
    bar.Clear();
    if (tally.firstFailure == IQ_ABORTED || InterruptRequested()) {
        PrintError("interrupted");
        return ExitInterrupted;
    }
    if (tally.failed != 0 || CurrentVerbosity() == Verbosity::Verbose)
        PrintNote(std::string(traits.wipe ? "wiped " : "removed ") + std::to_string(tally.removed) + " of " +
                   std::to_string(operands.size()) + ", " + std::to_string(tally.failed) + " failed");
    return static_cast<int>(tally.firstFailure);
}

} // namespace

int RunWipeCommand(CommandArgs args)
{
    return Remove(args, WipeTraits);
}

int RunRmCommand(CommandArgs args)
{
    return Remove(args, RmTraits);
}
