// ivqa wipe and ivqa rm: the library's wipe and delete engine over the
// operands in order, after a confirmation.

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/core_messages.h"
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
#include <cstdio>
#include <vector>

namespace {

// What one pass writes at a time, the unit of the library's steps.
constexpr std::uint64_t WipeBufferSize = 524288;

constexpr OptionSpec WipeOptions[] = {
    {'m', "method", true}, {'n', "passes", true}, {'\0', "yes", false}, {'h', "help", false}};
constexpr OptionSpec RmOptions[] = {{'\0', "yes", false}, {'h', "help", false}};

constexpr char WipeUsage[] =
    "usage: ivqa wipe [-m fast|dod|gutmann] [-n PASSES] [--yes] PATH...\n"
    "\n"
    "Overwrites every file in place, flushing each pass, and deletes it; folders\n"
    "are emptied depth-first and removed. Links are removed, never followed.\n"
    "\n"
    "  -m, --method NAME   fast (one pass of zeros), dod (DoD-5220.22-M, three\n"
    "                      passes, the default) or gutmann (Peter Gutmann's, 35)\n"
    "  -n, --passes N      how often the method is repeated, 1 to 32 (default 8)\n"
    "      --yes           do not ask for confirmation (needed without a terminal)\n";

constexpr char RmUsage[] =
    "usage: ivqa rm [--yes] PATH...\n"
    "\n"
    "Deletes files and folder trees without overwriting them. Links are removed,\n"
    "never followed; read-only files are not deleted.\n"
    "\n"
    "      --yes   do not ask for confirmation (needed without a terminal)\n";

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

// `context` null: delete without overwriting.
CoreResult RemoveEach(const std::vector<std::string>& operands, WipeContext* context, const LibraryCallbacks& callbacks,
                      RunObserver& observer)
{
    for (const std::string& operand : operands) {
        if (InterruptRequested())
            return IQ_ABORTED;
        const InputPath input = ResolveInput(operand, false);
        CoreResult result = IQ_OK;
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
        if (result != IQ_OK)
            return result;
    }
    return InterruptRequested() ? IQ_ABORTED : IQ_OK;
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
    CoreResult result = IQ_OK;
    if (traits.wipe)
        result = IQ_WipeInit(&context, settings->passes, settings->method, callbacks.name, callbacks.range,
                             callbacks.step, callbacks.skip);
    if (result == IQ_OK)
        result = RemoveEach(operands, context, callbacks, observer);
    IQ_WipeFinal(context);
    bar.Clear();
    if (result == IQ_ABORTED || InterruptRequested()) {
        PrintError("interrupted");
        return ExitInterrupted;
    }
    if (result != IQ_OK) {
        PrintError(CoreResultText(result));
        return static_cast<int>(result);
    }
    return ExitSuccess;
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
