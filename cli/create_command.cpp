// ivqa create: the module copied to the output, then one archive writer
// run over the inputs in order.

#include "cli/archive_output.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/core_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/help_text_file.h"
#include "cli/input_paths.h"
#include "cli/interrupt_guard.h"
#include "cli/module_builds.h"
#include "cli/passphrase_input.h"
#include "cli/run_observer.h"
#include "cli/subcommand_args.h"
#include "core/archive_format.h"
#include "platform/utf.h"

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view Command = "create";

constexpr OptionSpec Options[] = {
    {'o', "output", true},       {'c', "cipher", true},           {'l', "level", true},
    {'\0', "keyfile", true},     {'\0', "help-text", true},       {'\0', "module", true},
    {'\0', "target", true},      {'\0', "skip-unreadable", false}, {'h', "help", false},
};

constexpr char Usage[] =
    "usage: ivqa create -o OUT [-c aes|cast|blowfish|rc4|rc5] [-l LEVEL] [--keyfile LOCATION]\n"
    "                   [--help-text FILE] [--module en|ru|PATH] [--target SYSTEM]\n"
    "                   [--skip-unreadable] INPUT...\n"
    "\n"
    "Writes one self-decrypting archive of the INPUT files and folders, in order.\n"
    "\n"
    "  -o, --output OUT     the archive; \".run\" (\".exe\" for Windows) is appended\n"
    "                       unless OUT ends in it\n"
    "  -c, --cipher NAME    aes (AES-256, the default), cast (CAST-256), blowfish,\n"
    "                       rc4 or rc5\n"
    "  -l, --level LEVEL    compression level 0 (none) to 9 (most), default 7\n"
    "      --keyfile LOCATION  a keyfile: a path, or a file://, http:// or ftp:// URL\n"
    "      --help-text FILE    UTF-8 text shown to the recipient (at most 1,024\n"
    "                          characters, counted with CR LF line ends)\n"
    "      --module en|ru|PATH the extractor at the head of the archive: English\n"
    "                          (default), Russian, or a module file\n"
    "      --target SYSTEM     linux (the default) or windows, the recipient's\n"
    "                          system: en and ru then take GUI_en.iqm and\n"
    "                          GUI_ru.iqm or GUI_en.exe.iqm and GUI_ru.exe.iqm;\n"
    "                          a module file must be a program of that system\n"
    "      --skip-unreadable   skip entries that cannot be read instead of failing\n"
    "\n"
    "The passphrase is asked for twice on a terminal; otherwise it is the first\n"
    "line of standard input (an empty line: none, which needs --keyfile).\n";

struct CreatePlan {
    std::string output;
    std::uint32_t cipher = 0;
    int level = 7;
    std::u16string keyfile; // empty: none
    std::string helpFile;   // empty: none
    std::string module;     // path of the module file
    TargetSystem target = TargetSystem::Linux;
    bool skipUnreadable = false;
    std::vector<std::string> inputs;
};

std::optional<std::uint32_t> CipherByName(std::string_view name)
{
    static constexpr std::string_view names[] = {"aes", "cast", "blowfish", "rc4", "rc5"};
    for (std::uint32_t id = 0; id < std::size(names); ++id) {
        if (names[id] == name)
            return id;
    }
    return std::nullopt;
}

// Null with the error printed when the arguments do not make a plan.
std::optional<CreatePlan> MakePlan(const ParsedArguments& parsed, int* status)
{
    CreatePlan plan;
    const auto fail = [&](const std::string& text) {
        *status = UsageError(Command, text);
        return std::nullopt;
    };
    const auto output = parsed.Value("output");
    if (!output || output->empty())
        return fail("create needs -o OUT");
    if (const auto target = parsed.Value("target")) {
        const auto system = TargetSystemByName(*target);
        if (!system)
            return fail("--target takes linux or windows, not \"" + *target + "\"");
        plan.target = *system;
    }
    plan.output = ArchiveFileName(*output, plan.target);
    if (!Utf8ToUtf16(plan.output))
        return fail("the output path is not valid UTF-8");
    if (const auto cipher = parsed.Value("cipher")) {
        const auto id = CipherByName(*cipher);
        if (!id)
            return fail("-c takes aes, cast, blowfish, rc4 or rc5");
        plan.cipher = *id;
    }
    if (const auto level = parsed.Value("level")) {
        const auto number = ParseNumber(*level, 0, 9);
        if (!number)
            return fail("-l takes a compression level from 0 to 9");
        plan.level = static_cast<int>(*number);
    }
    if (const auto keyfile = parsed.Value("keyfile")) {
        const auto units = Utf8ToUtf16(*keyfile);
        if (!units)
            return fail("the keyfile location is not valid UTF-8");
        plan.keyfile = *units;
    }
    plan.helpFile = parsed.Value("help-text").value_or("");
    const std::string module = parsed.Value("module").value_or("en");
    if (const KnownModule* known = FindKnownModule(module, plan.target))
        plan.module = ModuleFilePath(known->fileName);
    else
        plan.module = module;
    plan.skipUnreadable = parsed.Has("skip-unreadable");
    plan.inputs = parsed.Operands();
    if (plan.inputs.empty())
        return fail("create needs at least one INPUT");
    return plan;
}

int Refuse(int status, std::string_view text)
{
    PrintError(text);
    return status;
}

// Adds every input in order; the first failure ends the run.
CoreResult AddInputs(SdaContext* context, const CreatePlan& plan, RunObserver& observer)
{
    for (const std::string& operand : plan.inputs) {
        if (InterruptRequested())
            return IQ_ABORTED;
        const InputPath input = ResolveInput(operand, true);
        if (!input.units) {
            if (observer.AskSkip(input.shown))
                continue;
            return input.directory ? IQ_INPUT_DIR_ERROR : IQ_INPUT_FILE_ERROR;
        }
        const CoreResult result = input.directory ? IQ_SDAAddDir(context, input.units->c_str(), plan.level)
                                                  : IQ_SDAAddFile(context, input.units->c_str(), plan.level);
        if (result != IQ_OK)
            return result;
    }
    return InterruptRequested() ? IQ_ABORTED : IQ_OK;
}

int Create(const CreatePlan& plan)
{
    StoredHelp help;
    if (!plan.helpFile.empty()) {
        switch (ReadHelpFile(plan.helpFile, &help)) {
        case HelpFileStatus::Ok:
            break;
        case HelpFileStatus::CannotRead:
            return Refuse(ExitNoInput, "cannot read the help text " + plan.helpFile);
        case HelpFileStatus::NotUtf8:
            return Refuse(ExitNoInput, "the help text " + plan.helpFile + " is not valid UTF-8");
        }
        if (help.cut)
            PrintError("warning: the help text is longer than 1024 characters and was cut to that length");
    }

    // A module of the other system would give an archive its recipient
    // cannot run. An unreadable one is reported when the copy fails.
    if (const auto system = SystemOfModuleFile(plan.module); system && *system != plan.target)
        return Refuse(ExitUsage, "the module " + plan.module + " is not a " +
                                     std::string(TargetSystemName(plan.target)) + " program");

    // Asked before anything is written: an interrupted prompt leaves nothing.
    ArchivePassphrase passphrase;
    const PassphraseStatus entered = passphrase.Read(stdin, stderr, !plan.keyfile.empty());
    if (entered != PassphraseStatus::Ok)
        return Refuse(ExitKeyInput, PassphraseStatusText(entered));

    InterruptGuard interrupts;
    interrupts.SetPartialOutput(plan.output);
    switch (CopyModule(plan.module, plan.output)) {
    case ModuleCopyResult::Ok:
        break;
    case ModuleCopyResult::SameFile:
        interrupts.ClearPartialOutput();
        return Refuse(ExitUsage, "the archive would replace its own module " + plan.module);
    case ModuleCopyResult::CannotReadModule:
        PrintError("cannot read the module " + plan.module);
        [[fallthrough]];
    case ModuleCopyResult::CannotWriteOutput:
        ::unlink(plan.output.c_str());
        interrupts.ClearPartialOutput();
        return Refuse(IQ_ARCHIVE_ERROR, CoreResultText(IQ_ARCHIVE_ERROR));
    }

    ProgressBar bar(stderr);
    RunObserver observer(bar, BlockSize, {"Can not add ", true},
                         plan.skipUnreadable ? SkipPolicy::Always : SkipPolicy::Ask, stdin);
    const CallbackScope scope(observer);
    const LibraryCallbacks callbacks = CallbackScope::Callbacks();

    const std::u16string output = *Utf8ToUtf16(plan.output);
    SdaContext* context = nullptr;
    CoreResult result = IQ_SDAInit(&context, output.c_str(), passphrase.Units(),
                                   plan.keyfile.empty() ? nullptr : plan.keyfile.c_str(), plan.cipher,
                                   help.text.empty() ? nullptr : help.text.c_str(), callbacks.name,
                                   callbacks.range, callbacks.step, callbacks.skip);
    passphrase.Wipe();
    if (result == IQ_OK)
        result = AddInputs(context, plan, observer);
    IQ_SDAFinal(context);
    bar.Clear();

    if (result != IQ_OK || InterruptRequested()) {
        ::unlink(plan.output.c_str());
        interrupts.ClearPartialOutput();
        if (result == IQ_ABORTED || InterruptRequested())
            return Refuse(ExitInterrupted, "interrupted");
        return Refuse(static_cast<int>(result), CoreResultText(result));
    }
    interrupts.ClearPartialOutput();
    std::printf("%s\n", plan.output.c_str());
    return ExitSuccess;
}

} // namespace

int RunCreateCommand(CommandArgs args)
{
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, Options, Command, Usage, &status);
    if (!parsed)
        return status;
    status = ExitUsage;
    const auto plan = MakePlan(*parsed, &status);
    if (!plan)
        return status;
    return Create(*plan);
}
