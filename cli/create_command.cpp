// ivqa create: the module copied to a temporary file beside the output, one
// archive writer run over the inputs in order, the rename onto the output;
// then, when asked for, the proof that the archive holds the inputs and the
// removal of what it holds.

#include "cli/archive_output.h"
#include "cli/browser_page.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "common/result_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/help_text_file.h"
#include "cli/input_paths.h"
#include "cli/interrupt_guard.h"
#include "common/module_files.h"
#include "cli/passphrase_input.h"
#include "cli/path_checks.h"
#include "cli/run_observer.h"
#include "cli/replace_question.h"
#include "cli/subcommand_args.h"
#include "cli/wipe_options.h"
#include "core/archive_format.h"
#include "creation/archive_proof.h"
#include "creation/held_removal.h"
#include "creation/module_stage.h"
#include "creation/output_identity.h"
#include "module/terminal_input.h"
#include "platform/path_calls.h"
#include "platform/utf.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr std::string_view Command = "create";

constexpr OptionSpec Options[] = {
    {'o', "output", true},       {'c', "cipher", true},           {'l', "level", true},
    {'\0', "keyfile", true},     {'\0', "help-text", true},       {'\0', "module", true},
    {'\0', "target", true},      {'\0', "skip-unreadable", false}, {'f', "force", false},
    {'\0', "delete-inputs", false}, {'\0', "wipe-inputs", false},   {'m', "method", true},
    {'n', "passes", true},       QuietOption,                     VerboseOption,
    {'h', "help", false},
};

constexpr char Usage[] =
    "usage: ivqa create -o OUT [-c aes|cast|blowfish|rc4|rc5|xchacha20] [-l LEVEL]\n"
    "                   [--keyfile LOCATION]\n"
    "                   [--help-text FILE] [--module en|ru|PATH] [--target SYSTEM]\n"
    "                   [--skip-unreadable] [-f] [--delete-inputs | --wipe-inputs\n"
    "                   [-m fast|dod|gutmann] [-n PASSES]] [-q|-v] INPUT...\n"
    "\n"
    "Writes one self-decrypting archive of the INPUT files and folders, in order.\n"
    "\n"
    "  -o, --output OUT     the archive; \".run\" (\".exe\" for Windows) is appended\n"
    "                       unless OUT ends in it\n"
    "  -c, --cipher NAME    aes (AES-256, the default), cast (CAST-256), blowfish,\n"
    "                       rc4, rc5 or xchacha20 (XChaCha20-Poly1305: every byte\n"
    "                       authenticated and each passphrase guess made costly;\n"
    "                       recipients need version 2.50 or later, and extracting\n"
    "                       asks for 256 MiB of memory), in any case\n"
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
    "  -f, --force             replace an existing OUT without asking\n"
    "      --delete-inputs     once the archive is written and read back whole,\n"
    "                          delete the input files it holds unchanged\n"
    "      --wipe-inputs       the same, wiping them; -m and -n as in ivqa wipe\n"
    "                          (default dod, 8 passes)\n"
    "  -q, --quiet             nothing but errors on standard error\n"
    "  -v, --verbose           every entry's name on standard error as it is added\n"
    "\n"
    "The archive is written to a temporary file beside OUT and takes its name\n"
    "only when complete. Entries that were skipped, changed or added since are\n"
    "never removed; they are listed as kept.\n"
    "\n"
    "The passphrase is asked for twice on a terminal; otherwise it is the first\n"
    "line of standard input (an empty line: none, which needs --keyfile).\n";

enum class InputsAction { Keep, Delete, Wipe };

struct CreatePlan {
    std::string output;
    std::uint32_t cipher = 0;
    int level = 7;
    std::u16string keyfile; // empty: none
    std::string keyfileText;
    std::string helpFile;   // empty: none
    std::string module;     // path of the module file
    TargetSystem target = TargetSystem::Linux;
    bool skipUnreadable = false;
    bool force = false;
    InputsAction action = InputsAction::Keep;
    WipeSettings wipe;
    std::vector<std::string> inputs;
};

std::optional<std::uint32_t> CipherByName(std::string_view name)
{
    static constexpr std::string_view names[] = {"aes", "cast", "blowfish", "rc4", "rc5", "xchacha20"};
    for (std::uint32_t id = 0; id < std::size(names); ++id) {
        if (SameNameIgnoringCase(name, names[id]))
            return id;
    }
    return std::nullopt;
}

std::optional<TargetSystem> TargetByName(std::string_view name)
{
    for (const TargetSystem system : {TargetSystem::Linux, TargetSystem::Windows}) {
        if (SameNameIgnoringCase(name, TargetSystemName(system)))
            return system;
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
    if (*output == "-")
        return fail("the archive cannot go to standard output; -o takes a file name");
    if (output->ends_with('/'))
        return fail("-o names a folder; it takes the archive's file name");
    if (const auto target = parsed.Value("target")) {
        const auto system = TargetByName(*target);
        if (!system)
            return fail("--target takes linux or windows, not \"" + *target + "\"");
        plan.target = *system;
    }
    plan.output = ArchiveFileName(*output, plan.target);
    if (FileStatus status; PathStatus(plan.output, true, &status) && IsDirectory(status))
        return fail(plan.output + " is a folder; -o takes the archive's file name");
    if (!Utf8ToUtf16(plan.output))
        return fail("the output path is not valid UTF-8");
    if (const auto cipher = parsed.Value("cipher")) {
        const auto id = CipherByName(*cipher);
        if (!id)
            return fail("-c takes aes, cast, blowfish, rc4, rc5 or xchacha20");
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
        plan.keyfileText = *keyfile;
    }
    plan.helpFile = parsed.Value("help-text").value_or("");
    const std::string module = parsed.Value("module").value_or("en");
    if (const KnownModule* known = FindKnownModule(module, plan.target))
        plan.module = ModuleFilePath(known->fileName);
    else
        plan.module = module;
    plan.skipUnreadable = parsed.Has("skip-unreadable");
    plan.force = parsed.Has("force");
    if (parsed.Has("delete-inputs") && parsed.Has("wipe-inputs"))
        return fail("--delete-inputs and --wipe-inputs exclude each other");
    if (parsed.Has("delete-inputs"))
        plan.action = InputsAction::Delete;
    if (parsed.Has("wipe-inputs"))
        plan.action = InputsAction::Wipe;
    if ((parsed.Value("method") || parsed.Value("passes")) && plan.action != InputsAction::Wipe)
        return fail("-m and -n go with --wipe-inputs");
    std::string wipeError;
    const auto wipe = ParseWipeSettings(parsed, &wipeError);
    if (!wipe)
        return fail(wipeError);
    plan.wipe = *wipe;
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
        observer.SetOperand(input.shown, input.directory, true);
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

// Wipes or deletes one file through the library, reporting as ivqa wipe does.
class LibraryFileRemover final : public HeldFileRemover {
public:
    LibraryFileRemover(WipeContext* context, const LibraryCallbacks& callbacks)
        : context_(context), callbacks_(callbacks)
    {
    }

    CoreResult RemoveFile(const std::string& path) override
    {
        const auto units = Utf8ToUtf16(path);
        if (!units)
            return IQ_OK; // left in place and reported as kept
        return context_ != nullptr ? IQ_WipeFile(context_, units->c_str())
                                   : IQ_RmFile(units->c_str(), callbacks_.name, callbacks_.skip);
    }

private:
    WipeContext* context_;
    const LibraryCallbacks& callbacks_;
};

class ProofProgress final : public ProofObserver {
public:
    explicit ProofProgress(ProgressBar& bar) : bar_(bar) {}
    void Checkpoint() override { ThrowIfInterrupted(); }
    void BlockDone(std::size_t) override { bar_.Step(); }

private:
    ProgressBar& bar_;
};

std::vector<InputRoot> InputRoots(const CreatePlan& plan)
{
    std::vector<InputRoot> roots;
    for (const std::string& operand : plan.inputs) {
        const InputPath input = ResolveInput(operand, true);
        if (input.units)
            roots.push_back({input.path, input.directory});
    }
    return roots;
}

constexpr std::size_t KeptLinesShown = 20;

void PrintRemovalReport(const RemovalReport& report)
{
    for (std::size_t i = 0; i < report.kept.size() && i < KeptLinesShown; ++i)
        std::printf("kept: %s (%s)\n", report.kept[i].path.c_str(),
                    std::string(KeptReasonText(report.kept[i].reason)).c_str());
    if (report.kept.size() > KeptLinesShown)
        std::printf("kept: %zu more\n", report.kept.size() - KeptLinesShown);
    std::printf("removed: %llu\n", static_cast<unsigned long long>(report.removed));
}

// The archive is complete under its name: it is read back whole with the
// same key input, and only what it holds unchanged is removed.
int RemoveArchivedInputs(const CreatePlan& plan, std::uint64_t payloadOffset, const ArchivePassphrase& passphrase)
{
    ProgressBar bar(stderr);
    bar.Begin(u"Verifying the archive");
    ProofProgress progress(bar);
    ArchiveProof proof;
    try {
        proof = ProveArchive(plan.output, payloadOffset, passphrase.View(), plan.keyfile, &progress);
    } catch (const Interrupted&) {
        bar.Clear();
        return Refuse(ExitInterrupted, "interrupted; the archive was not verified and the inputs were left in place");
    }
    bar.Clear();
    if (!ProofSucceeded(proof.result))
        return Refuse(static_cast<int>(proof.result),
                      "the archive could not be verified; the inputs were left in place: " +
                          std::string(ProofResultText(proof.result)));

    RunObserver observer(bar, BlockSize, {"Can not remove ", false}, SkipPolicy::Ask, stdin);
    const CallbackScope scope(observer);
    const LibraryCallbacks callbacks = CallbackScope::Callbacks();
    WipeContext* context = nullptr;
    if (plan.action == InputsAction::Wipe) {
        const CoreResult result = IQ_WipeInit(&context, plan.wipe.passes, plan.wipe.method, callbacks.name,
                                              callbacks.range, callbacks.step, callbacks.skip);
        if (result != IQ_OK)
            return Refuse(static_cast<int>(result), CoreResultText(result));
    }
    LibraryFileRemover remover(context, callbacks);
    const RemovalReport report = RemoveHeldEntries(InputRoots(plan), proof.entries, remover);
    IQ_WipeFinal(context);
    bar.Clear();
    PrintRemovalReport(report);
    if (report.result == IQ_ABORTED || InterruptRequested())
        return Refuse(ExitInterrupted, "interrupted");
    if (report.result != IQ_OK)
        return Refuse(static_cast<int>(report.result), CoreResultText(report.result));
    return ExitSuccess;
}

// Null when the output may be written; otherwise the status to end with.
std::optional<int> RefuseOutput(const CreatePlan& plan)
{
    errno = 0;
    switch (CheckModuleFile(plan.module, plan.target)) {
    case ModuleFileCheck::Ours:
        break;
    case ModuleFileCheck::Unreadable: {
        const int error = errno;
        PrintFailure("cannot read the module", plan.module, error != 0 ? ReasonOf(error) : "not a regular file");
        return IQ_ARCHIVE_ERROR;
    }
    case ModuleFileCheck::NotOurs:
        return UsageError(Command, "the module " + plan.module + " is not a " +
                                       std::string(TargetSystemName(plan.target)) + " module of this program");
    }
    std::vector<std::string> inputs;
    for (const std::string& operand : plan.inputs)
        inputs.push_back(ResolveInput(operand, true).path);
    switch (FindOutputAmongInputs(plan.output, inputs)) {
    case OutputClash::None:
        break;
    case OutputClash::IsInput:
        return UsageError(Command, "the archive " + plan.output + " is one of its inputs");
    case OutputClash::InsideInput:
        return UsageError(Command, "the archive " + plan.output + " would lie inside one of its input folders");
    }
    switch (MayReplace(plan.output, plan.force)) {
    case ReplaceAnswer::Proceed:
        break;
    case ReplaceAnswer::Declined:
        return Refuse(ExitSuccess, "nothing written");
    case ReplaceAnswer::Refused:
        return UsageError(Command, ReplaceRefusalText(plan.output));
    }
    return std::nullopt;
}

int Create(CreatePlan plan)
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
            PrintNote("warning: the help text is longer than 1024 characters and was cut to that length");
    }
    // Every path is checked before the passphrase is typed, and before a
    // question about replacing the output.
    if (const std::string reason = OutputFolderProblem(plan.output); !reason.empty()) {
        PrintFailure(CoreResultText(IQ_ARCHIVE_ERROR), plan.output, reason);
        return IQ_ARCHIVE_ERROR;
    }
    if (const std::string reason = LocalKeyfileProblem(plan.keyfileText); !reason.empty()) {
        PrintFailure(CoreResultText(IQ_KEYFILE_ERROR), plan.keyfileText, reason);
        return IQ_KEYFILE_ERROR;
    }
    if (const auto refused = RefuseOutput(plan))
        return *refused;
    ProgressBar bar(stderr);
    RunObserver observer(bar, BlockSize, {"Can not add ", false},
                         plan.skipUnreadable ? SkipPolicy::Always : SkipPolicy::Ask, stdin);
    // A missing operand is asked about (or fails the run) now, not after
    // the passphrase; --skip-unreadable leaves it to the run's own note.
    if (!plan.skipUnreadable) {
        std::vector<std::string> present;
        for (const std::string& operand : plan.inputs) {
            FileStatus status;
            if (PathStatus(operand, true, &status)) {
                present.push_back(operand);
                continue;
            }
            const int error = errno;
            if (!observer.AskSkip(ResolveInput(operand, true).shown, ReasonOf(error)))
                return IQ_INPUT_FILE_ERROR;
        }
        plan.inputs = std::move(present);
    }

    // Asked before anything is written: an interrupted prompt leaves nothing.
    ArchivePassphrase passphrase;
    const PassphraseStatus entered = passphrase.Read(stdin, stderr, !plan.keyfile.empty());
    if (entered != PassphraseStatus::Ok)
        return Refuse(ExitKeyInput, PassphraseStatusText(entered));

    InterruptGuard interrupts;
    ModuleStage stage = StageModuleCopy(plan.module, plan.output);
    switch (stage.result) {
    case ModuleStageResult::Ok:
        break;
    case ModuleStageResult::SameFile:
        return Refuse(ExitUsage, "the archive would replace its own module " + plan.module);
    case ModuleStageResult::CannotReadModule:
        return Refuse(IQ_ARCHIVE_ERROR, "cannot read the module " + plan.module);
    case ModuleStageResult::CannotWriteOutput:
        PrintFailure(CoreResultText(IQ_ARCHIVE_ERROR), plan.output, ReasonOf(errno));
        return IQ_ARCHIVE_ERROR;
    }
    StagedFile& archive = *stage.archive;
    interrupts.SetPartialOutput(archive.TemporaryPath());

    CoreResult result = IQ_OK;
    int error = 0;
    {
        const CallbackScope scope(observer);
        const LibraryCallbacks callbacks = CallbackScope::Callbacks();
        const std::u16string temporary = *Utf8ToUtf16(archive.TemporaryPath());
        SdaContext* context = nullptr;
        result = IQ_SDAInit(&context, temporary.c_str(), passphrase.Units(),
                            plan.keyfile.empty() ? nullptr : plan.keyfile.c_str(), plan.cipher,
                            help.text.empty() ? nullptr : help.text.c_str(), callbacks.name, callbacks.range,
                            callbacks.step, callbacks.skip);
        // The proof needs the passphrase again; without one it goes now.
        if (plan.action == InputsAction::Keep)
            passphrase.Wipe();
        if (result == IQ_OK)
            result = AddInputs(context, plan, observer);
        error = errno;
        IQ_SDAFinal(context);
    }
    bar.Clear();

    if (result != IQ_OK || InterruptRequested()) {
        archive.Discard();
        interrupts.ClearPartialOutput();
        if (result == IQ_ABORTED || InterruptRequested())
            return Refuse(ExitInterrupted, "interrupted");
        // One line per failure: a failed entry has been named already.
        if (observer.FailuresReported() == 0)
            PrintFailure(CoreResultText(result), result == IQ_ARCHIVE_ERROR ? plan.output : std::string(),
                         ReasonOf(error));
        return static_cast<int>(result);
    }
    const StagedCommit committed = archive.Commit(ExecutableMode());
    interrupts.ClearPartialOutput();
    if (committed == StagedCommit::Failed)
        return Refuse(IQ_ARCHIVE_ERROR, CoreResultText(IQ_ARCHIVE_ERROR));
    if (committed == StagedCommit::DoneWithoutMode)
        PrintNote("warning: the archive " + plan.output + " could not be made executable");
    if (const std::size_t escaped = observer.EscapedNames(); escaped > 0)
        PrintNote(EscapedNamesNote(escaped));
    std::printf("%s\n", plan.output.c_str());
    std::fflush(stdout);
    PrintBrowserPageNote();
    if (plan.action == InputsAction::Keep)
        return ExitSuccess;
    std::fflush(stdout);
    const int status = RemoveArchivedInputs(plan, stage.moduleLength, passphrase);
    passphrase.Wipe();
    return status;
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
