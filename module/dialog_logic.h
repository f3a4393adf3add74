#pragma once
// What the module's dialog does, apart from drawing it: the state of its
// controls, the status log, the worker that runs an extraction, the abort
// question. The window (or a test) implements DialogView and forwards the
// user's commands here.

#include "module/extraction_engine.h"
#include "module/module_build.h"
#include "module/payload_source.h"
#include "module/worker_gate.h"
#include "platform/extract_fs.h"
#include "platform/locked_buffer.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// The overwrite question's answers; the "all" ones hold for the rest of
// the run.
enum class OverwriteAnswer { Yes, YesToAll, No, NoToAll };

// Calls marked "worker" come from the extraction worker; a window hands
// them to its own thread. Only the ones that return an answer, and
// ShowError, may wait for the user; the others must not wait for the dialog
// thread, which may itself be waiting for the worker to reach its gate.
class DialogView {
public:
    virtual ~DialogView() = default;
    virtual void SetTitle(const std::string& title) = 0;              // worker too
    virtual void SetExtractLabel(const std::string& label) = 0;       // worker too
    virtual void SetButtonsEnabled(bool enabled) = 0;                 // worker too
    virtual void SetDestination(const std::string& path) = 0;
    virtual void SetKeyfile(const std::string& location) = 0;
    virtual void ClearSecretFields() = 0; // passphrase and keyfile
    virtual void ClearLog() = 0;                                      // worker too
    virtual void AppendLog(const std::string& line) = 0;              // worker too; no line end
    virtual void ShowError(const std::string& caption, const std::string& text) = 0; // worker too
    virtual void ShowHelp(const std::string& caption, const std::string& text) = 0;
    virtual bool AskAbort(const std::string& caption, const std::string& question) = 0;
    virtual bool AskOverwrite(const std::string& caption, const std::string& question) = 0; // worker
    // With the "all" answers; a view that offers only Yes and No asks that.
    virtual OverwriteAnswer AskOverwriteOrAll(const std::string& caption, const std::string& question) // worker
    {
        return AskOverwrite(caption, question) ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    }
    // The blocks written of the current file; empty text clears it.
    virtual void ShowFileProgress(const std::string& text) { (void)text; } // worker
    virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
    virtual std::optional<std::string> ChooseFile(const std::string& title, const std::string& filterName) = 0;
    virtual void Flash() = 0; // worker
    virtual void EndProcess() = 0; // does not return in the window builds
};

class ExtractDialog {
public:
    ExtractDialog(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem,
                  DialogView& view);
    ~ExtractDialog();
    ExtractDialog(const ExtractDialog&) = delete;
    ExtractDialog& operator=(const ExtractDialog&) = delete;

    // Loads the help text; when that fails, shows the error and ends the
    // process. Otherwise fills the destination and writes the first line.
    bool Create(const std::string& currentDirectory);

    void ExitClicked();
    void BrowseClicked();
    void SelectKeyfileClicked();
    void HelpClicked();
    // The field texts as they stand (UTF-8; text that is not is refused
    // with a message). The passphrase is copied only into locked memory.
    void ExtractClicked(std::string_view destination, std::string_view passphrase, std::string_view keyfile);
    void CloseRequested();

    bool Running() const { return running_.load(); }
    // Whether the worker is held at its gate or blocked in a question.
    bool WorkerHeld() { return Running() && gate_.WorkerSafe(); }
    // Waits for the thread of the last run to end (tests, shutdown).
    void JoinWorker();

private:
    class RunObserver;

    void AppendLogLine(const std::string& text, bool counted, std::size_t countedUnits);
    void StartRun();
    void Abort();
    void EndDuringRun();
    bool ConvertField(std::string_view utf8, std::string_view label, char16_t* units, std::size_t* written);
    bool TakeField(std::string_view utf8, std::string_view label, std::u16string* units);
    bool TakePassphrase(std::string_view utf8);
    std::u16string_view Passphrase() const { return {passphrase_.data(), passphraseUnits_}; }
    void LogRemoved(std::u16string_view name);
    void WorkerBody();
    void RestoreReadyState();
    void WipeInputs();

    const ModuleBuild& build_;
    const ModuleTexts& texts_;
    const PayloadArchive& archive_;
    ExtractFileSystem& fileSystem_;
    DialogView& view_;

    std::uint16_t helpLength_ = 0;
    std::u16string helpText_;
    std::uint16_t logCounter_ = 0;

    // The run's inputs, filled by the dialog thread before the worker exists.
    std::u16string destination_;
    LockedBuffer<char16_t> passphrase_;
    std::size_t passphraseUnits_ = 0;
    std::u16string keyfile_;

    ExtractState state_;
    WorkerGate gate_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};
