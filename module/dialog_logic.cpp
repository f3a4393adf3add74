#include "module/dialog_logic.h"

#include "module/display_text.h"
#include "module/help_text.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <system_error>

namespace {

// The log is emptied once this many units have been written to it.
constexpr std::uint16_t LogLimitUnits = 30000;
constexpr char KeyfilePrefix[] = "file://";

std::u16string FieldText(const std::string& utf8)
{
    return Utf8ToUtf16(utf8).value_or(u"");
}

} // namespace

class ExtractDialog::RunObserver final : public ExtractObserver {
public:
    explicit RunObserver(ExtractDialog& dialog) : dialog_(dialog) {}

    void ReportEntry(const ExtractEntry& entry) override
    {
        const std::string name = ToDisplayUtf8(entry.name);
        dialog_.AppendLogLine(" " + name, true, entry.name.size());
        const ModuleTexts& texts = dialog_.texts_;
        dialog_.view_.SetTitle(std::string(texts.titlePrefix) + name + std::string(texts.titleSuffix));
    }

    bool AskOverwrite(std::u16string_view name) override
    {
        const ModuleTexts& texts = dialog_.texts_;
        std::string question = "\"";
        question += ToDisplayUtf8(name);
        question += "\"";
        question += texts.overwriteQuestionTail;
        dialog_.gate_.Pause();
        const bool replace = dialog_.view_.AskOverwrite(std::string(texts.questionCaption), question);
        dialog_.gate_.Unpause();
        return replace;
    }

    void Checkpoint() override { dialog_.gate_.Checkpoint(); }

private:
    ExtractDialog& dialog_;
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
    view_.ShowHelp(std::string(texts_.helpCaption), ToDisplayUtf8(helpText_));
}

void ExtractDialog::ExtractClicked(const std::string& destination, const std::string& passphrase,
                                   const std::string& keyfile)
{
    if (Running()) {
        Abort();
        return;
    }
    JoinWorker();
    destination_ = FieldText(destination);
    passphrase_ = FieldText(passphrase);
    if (passphrase_.size() > MaxPassphraseUnits)
        passphrase_.resize(MaxPassphraseUnits);
    keyfile_ = FieldText(keyfile);
    if (passphrase_.empty() && keyfile_.empty()) {
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
    // What was written so far stays on disk.
    gate_.WaitUntilSafe();
    ReleaseExtractState(state_);
    view_.EndProcess();
}

void ExtractDialog::WorkerBody()
{
    RunObserver observer(*this);
    ExtractInput input;
    input.archive = &archive_;
    input.helpLength = helpLength_;
    input.passphrase = passphrase_;
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
    SecureWipe(passphrase_.data(), passphrase_.size() * sizeof(char16_t));
    passphrase_.clear();
    SecureWipe(keyfile_.data(), keyfile_.size() * sizeof(char16_t));
    keyfile_.clear();
}
