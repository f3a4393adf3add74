#include "module/dialog_logic.h"

#include "core/archive_format.h"
#include "module/display_text.h"
#include "module/help_text.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

// The log is emptied once this many units have been written to it.
constexpr std::uint16_t LogLimitUnits = 30000;
constexpr char KeyfilePrefix[] = "file://";
// How long a confirmed abort or a close waits for the worker to reach a
// point where the dialog thread may release its state; a worker stuck in a
// slow read is left to the end of the process.
constexpr std::chrono::milliseconds EndWait{200};

// CR LF as the writer stores line ends becomes LF: the toolkit would show
// each CR.
std::string WithoutCarriageReturns(std::string text)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
    return text;
}

std::string_view WithoutColon(std::string_view label)
{
    return label.ends_with(':') ? label.substr(0, label.size() - 1) : label;
}

} // namespace

class ExtractDialog::RunObserver final : public ExtractObserver {
public:
    explicit RunObserver(ExtractDialog& dialog) : dialog_(dialog) {}

    ~RunObserver() override
    {
        if (shown_)
            dialog_.view_.ShowFileProgress({});
    }

    void ReportEntry(const ExtractEntry& entry) override
    {
        // Only a file of several blocks takes long enough to be followed.
        blocksDone_ = 0;
        blocks_ = entry.kind == EntryKind::File ? BlockCount(entry.size) : 0;
        ShowBlocks();
        const std::string name = ToDisplayUtf8(entry.name);
        dialog_.AppendLogLine(" " + name, true, entry.name.size());
        const ModuleTexts& texts = dialog_.texts_;
        dialog_.view_.SetTitle(std::string(texts.titlePrefix) + name + std::string(texts.titleSuffix));
    }

    bool AskOverwrite(std::u16string_view name) override
    {
        if (answerForAll_)
            return *answerForAll_;
        const ModuleTexts& texts = dialog_.texts_;
        std::string question = "\"";
        question += ToDisplayUtf8(name);
        question += "\"";
        question += texts.overwriteQuestionTail;
        dialog_.gate_.Pause();
        const OverwriteAnswer answer = dialog_.view_.AskOverwriteOrAll(std::string(texts.questionCaption), question);
        dialog_.gate_.Unpause();
        const bool replace = answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll;
        if (answer == OverwriteAnswer::YesToAll || answer == OverwriteAnswer::NoToAll)
            answerForAll_ = replace;
        return replace;
    }

    void Checkpoint() override { dialog_.gate_.Checkpoint(); }

    void BlockDone(std::size_t) override
    {
        ++blocksDone_;
        ShowBlocks();
    }

    void FileRemoved(std::u16string_view name) override { dialog_.LogRemoved(name); }

private:
    void ShowBlocks()
    {
        if (blocks_ < 2) {
            if (shown_)
                dialog_.view_.ShowFileProgress({});
            shown_ = false;
            return;
        }
        std::string text(dialog_.texts_.blockProgress);
        if (const auto at = text.find("%1"); at != std::string::npos)
            text.replace(at, 2, std::to_string(blocksDone_));
        if (const auto at = text.find("%2"); at != std::string::npos)
            text.replace(at, 2, std::to_string(blocks_));
        dialog_.view_.ShowFileProgress(text);
        shown_ = true;
    }

    ExtractDialog& dialog_;
    // Set by "Yes to all" or "No to all" for the rest of this run.
    std::optional<bool> answerForAll_;
    std::uint64_t blocks_ = 0;
    std::uint64_t blocksDone_ = 0;
    bool shown_ = false;
};

ExtractDialog::ExtractDialog(const ModuleBuild& build, const PayloadArchive& archive,
                             ExtractFileSystem& fileSystem, DialogView& view)
    : build_(build), texts_(*build.texts), archive_(archive), fileSystem_(fileSystem), view_(view)
{
}

ExtractDialog::~ExtractDialog()
{
    gate_.Abandon();
    JoinWorker();
    WipeInputs();
}

bool ExtractDialog::Create(const std::string& currentDirectory)
{
    auto help = LoadHelpText(archive_, build_);
    if (!help) {
        view_.ShowError(std::string(texts_.errorCaption),
                        std::string(texts_.resultTexts[static_cast<int>(ExtractResult::ArchiveError)]));
        view_.EndProcess();
        return false;
    }
    helpLength_ = help->helpLength;
    helpText_ = std::move(help->text);
    view_.SetDestination(currentDirectory);
    AppendLogLine(std::string(texts_.readyLine), false, 0);
    return true;
}

void ExtractDialog::ExitClicked()
{
    if (!Running())
        view_.EndProcess();
}

void ExtractDialog::CloseRequested()
{
    if (Running()) {
        gate_.Hold();
        EndDuringRun();
        return;
    }
    view_.EndProcess();
}

void ExtractDialog::BrowseClicked()
{
    if (auto folder = view_.ChooseFolder(std::string(texts_.folderChooserTitle)))
        view_.SetDestination(*folder);
}

void ExtractDialog::SelectKeyfileClicked()
{
    if (auto file = view_.ChooseFile(std::string(texts_.keyfileChooserTitle),
                                     std::string(texts_.keyfileFilterName)))
        view_.SetKeyfile(KeyfilePrefix + *file);
}

void ExtractDialog::HelpClicked()
{
    view_.ShowHelp(std::string(texts_.helpCaption), WithoutCarriageReturns(ToDisplayUtf8(helpText_)));
}

// Into a buffer of the caller's with room for utf8.size() units: UTF-16
// never needs more units than UTF-8 has bytes.
bool ExtractDialog::ConvertField(std::string_view utf8, std::string_view label, char16_t* units,
                                 std::size_t* written)
{
    if (Utf8ToUtf16(utf8, units, utf8.size(), written))
        return true;
    SecureWipe(units, utf8.size() * sizeof(char16_t));
    *written = 0;
    std::string message(texts_.invalidFieldText);
    if (const auto at = message.find("%s"); at != std::string::npos)
        message.replace(at, 2, WithoutColon(label));
    view_.ShowError(std::string(texts_.errorCaption), message);
    return false;
}

// Converted in place into one buffer, so that no unwiped copy of the field is
// left on the heap; the part cut off is wiped as well.
bool ExtractDialog::TakeField(std::string_view utf8, std::string_view label, std::u16string* units)
{
    units->assign(utf8.size(), u'\0');
    std::size_t written = 0;
    if (!ConvertField(utf8, label, units->data(), &written)) {
        units->clear();
        return false;
    }
    SecureWipe(units->data() + written, (units->size() - written) * sizeof(char16_t));
    units->resize(written);
    return true;
}

// Only the first 255 units reach the key; the rest is wiped with the buffer.
bool ExtractDialog::TakePassphrase(std::string_view utf8)
{
    passphrase_ = LockedBuffer<char16_t>(utf8.empty() ? 1 : utf8.size());
    std::size_t written = 0;
    const bool converted = ConvertField(utf8, texts_.passphraseLabel, passphrase_.data(), &written);
    passphraseUnits_ = std::min(written, MaxPassphraseUnits);
    return converted;
}

void ExtractDialog::LogRemoved(std::u16string_view name)
{
    const std::string line = std::string(texts_.removedLinePrefix) + ToDisplayUtf8(name);
    AppendLogLine(line, true, Utf16UnitsOf(texts_.removedLinePrefix) + name.size());
}

void ExtractDialog::ExtractClicked(std::string_view destination, std::string_view passphrase,
                                   std::string_view keyfile)
{
    if (Running()) {
        Abort();
        return;
    }
    JoinWorker();
    WipeInputs();
    if (!TakeField(destination, texts_.destinationLabel, &destination_) ||
        !TakePassphrase(passphrase) ||
        !TakeField(keyfile, texts_.keyfileLabel, &keyfile_)) {
        WipeInputs();
        return;
    }
    if (passphraseUnits_ == 0 && keyfile_.empty()) {
        view_.ShowError(std::string(texts_.errorCaption), std::string(texts_.noKeyInput));
        return;
    }
    view_.ClearSecretFields();
    view_.ClearLog();
    view_.SetButtonsEnabled(false);
    view_.SetExtractLabel(std::string(texts_.breakButton));
    AppendLogLine(std::string(texts_.runStartLine), true, Utf16UnitsOf(texts_.runStartLine));
    StartRun();
}

void ExtractDialog::JoinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void ExtractDialog::AppendLogLine(const std::string& text, bool counted, std::size_t countedUnits)
{
    if (counted) {
        logCounter_ = static_cast<std::uint16_t>(logCounter_ + countedUnits);
        if (logCounter_ >= LogLimitUnits) {
            logCounter_ = static_cast<std::uint16_t>(countedUnits + 3);
            view_.ClearLog();
            view_.AppendLog(std::string(texts_.titleSuffix));
        }
    }
    view_.AppendLog(text);
}

void ExtractDialog::StartRun()
{
    // Busy before the thread exists, so that a Break pressed at once waits
    // for the worker's first checkpoint.
    gate_.Begin();
    running_ = true;
    try {
        worker_ = std::thread(&ExtractDialog::WorkerBody, this);
    } catch (const std::system_error&) {
        running_ = false;
        gate_.End();
        WipeInputs();
        view_.ShowError(std::string(texts_.errorCaption), std::string(texts_.workerStartFailed));
        RestoreReadyState();
    }
}

void ExtractDialog::Abort()
{
    gate_.Hold();
    if (!view_.AskAbort(std::string(texts_.questionCaption), std::string(texts_.abortQuestion))) {
        gate_.Resume();
        return;
    }
    EndDuringRun();
}

// Ends the process promptly whatever the worker is doing. Held at its gate
// (or blocked in a question), the worker touches nothing, so the state is
// released and wiped here; inside a slow read (a keyfile server that does
// not answer) only the unfinished file is removed, and the rest ends with
// the process. The gate is held by the caller.
void ExtractDialog::EndDuringRun()
{
    std::optional<std::u16string> removed;
    if (gate_.WaitUntilSafeFor(EndWait)) {
        removed = DiscardUnfinishedFile(state_);
        ReleaseExtractState(state_);
        WipeInputs();
    } else {
        removed = AbandonExtractRun(state_);
        // The worker read these when its run began; their bytes go now,
        // their buffers with the process.
        passphrase_.Wipe();
        SecureWipe(keyfile_.data(), keyfile_.size() * sizeof(char16_t));
    }
    if (removed)
        LogRemoved(*removed);
    view_.EndProcess();
}

void ExtractDialog::WorkerBody()
{
    RunObserver observer(*this);
    ExtractInput input;
    input.archive = &archive_;
    input.helpLength = helpLength_;
    input.passphrase = Passphrase();
    input.keyfileLocation = keyfile_;
    input.destination = destination_;
    input.mode = ExtractMode::Extract;
    input.fileSystem = &fileSystem_;
    input.observer = &observer;
    ExtractResult result = ExtractResult::Done;
    try {
        result = RunExtraction(state_, input);
    } catch (const WorkerAbandoned&) {
        return; // the dialog has released the state and is ending the process
    }
    gate_.End();
    WipeInputs();

    if (result == ExtractResult::Done) {
        AppendLogLine(std::string(texts_.doneLine), true, Utf16UnitsOf(texts_.doneLine));
    } else {
        AppendLogLine(std::string(texts_.errorLine), true, Utf16UnitsOf(texts_.errorLine));
        view_.ShowError(std::string(texts_.errorCaption),
                        std::string(texts_.resultTexts[static_cast<std::uint32_t>(result)]));
    }
    RestoreReadyState();
    running_ = false;
    view_.Flash();
}

void ExtractDialog::RestoreReadyState()
{
    view_.SetExtractLabel(std::string(texts_.extractButtonRun));
    view_.SetTitle(std::string(texts_.windowTitle));
    view_.SetButtonsEnabled(true);
}

void ExtractDialog::WipeInputs()
{
    // Wiped, not freed: a worker left held at its gate may still see it.
    passphrase_.Wipe();
    passphraseUnits_ = 0;
    SecureWipe(keyfile_.data(), keyfile_.size() * sizeof(char16_t));
    keyfile_.clear();
}
