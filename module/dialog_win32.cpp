#include "module/dialog_win32.h"

#include "module/dialog_logic.h"
#include "platform/secure_memory.h"
#include "platform/win32_path.h"

#include <windows.h>
// windows.h first: the shell and dialog headers build on it.
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace {

// Work that the worker hands to the dialog thread; the pointer travels in
// the message's lParam.
constexpr UINT RunOnDialogThread = WM_APP + 1;
constexpr UINT_PTR QueueTimer = 1;

std::wstring Wide(const std::string& utf8)
{
    const auto units = Utf8ToUtf16(utf8);
    return units ? WideOf(*units) : std::wstring();
}

// A field's text as UTF-8, at most `units` UTF-16 units of it. The wide
// copy is wiped: it may be a passphrase. A text holding an unpaired
// surrogate has no UTF-8 form; it is handed on as a byte that is no UTF-8
// either, so that the field is named in a message, never taken as empty.
std::string FieldText(HWND dialog, int id, int units)
{
    std::wstring buffer(static_cast<std::size_t>(units) + 1, L'\0');
    UINT length = GetDlgItemTextW(dialog, id, buffer.data(), units + 1);
    // A cut through a surrogate pair would make the whole text unreadable.
    if (length > 0 && buffer[length - 1] >= 0xD800 && buffer[length - 1] <= 0xDBFF)
        --length;
    const auto utf8 = Utf8OfWide(std::wstring_view(buffer.data(), length));
    SecureWipe(buffer.data(), buffer.size() * sizeof(wchar_t));
    return utf8.value_or("\xFF");
}

void WipeString(std::string& text)
{
    SecureWipe(text.data(), text.size());
    text.clear();
}

class Win32DialogView final : public DialogView {
public:
    void Attach(HWND dialog)
    {
        dialog_ = dialog;
        dialogThread_ = GetCurrentThreadId();
    }
    HWND Dialog() const { return dialog_; }

    void SetTitle(const std::string& title) override
    {
        OnDialogThread([this, text = Wide(title)] { SetWindowTextW(dialog_, text.c_str()); });
    }

    void SetExtractLabel(const std::string& label) override
    {
        OnDialogThread([this, text = Wide(label)] { SetDlgItemTextW(dialog_, IdExtract, text.c_str()); });
    }

    void SetButtonsEnabled(bool enabled) override
    {
        OnDialogThread([this, enabled] {
            for (const int id : {IdExit, IdBrowse, IdSelectKeyfile, IdHelp})
                EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
        });
    }

    void SetDestination(const std::string& path) override
    {
        SetDlgItemTextW(dialog_, IdDestination, Wide(path).c_str());
    }

    void SetKeyfile(const std::string& location) override
    {
        SetDlgItemTextW(dialog_, IdKeyfile, Wide(location).c_str());
    }

    void ClearSecretFields() override
    {
        SetDlgItemTextW(dialog_, IdPassphrase, L"");
        SetDlgItemTextW(dialog_, IdKeyfile, L"");
    }

    void ClearLog() override
    {
        OnDialogThread([this] { SetDlgItemTextW(dialog_, IdStatusLog, L""); });
    }

    void AppendLog(const std::string& line) override
    {
        OnDialogThread([this, text = Wide(line) + L"\r\n"] {
            const HWND log = GetDlgItem(dialog_, IdStatusLog);
            const LRESULT end = SendMessageW(log, WM_GETTEXTLENGTH, 0, 0);
            SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
            SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        });
    }

    // From the worker too: a box owned by the dialog, which the worker
    // waits in; the dialog thread goes on serving its messages.
    void ShowError(const std::string& caption, const std::string& text) override
    {
        MessageBoxW(dialog_, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
    }

    void ShowHelp(const std::string& caption, const std::string& text) override
    {
        MessageBoxW(dialog_, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
    }

    bool AskAbort(const std::string& caption, const std::string& question) override
    {
        return MessageBoxW(dialog_, Wide(question).c_str(), Wide(caption).c_str(),
                           MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
    }

    // No owner: the dialog stays usable, so Break still works meanwhile.
    bool AskOverwrite(const std::string& caption, const std::string& question) override
    {
        return MessageBoxW(nullptr, Wide(question).c_str(), Wide(caption).c_str(),
                           MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
    }

    std::optional<std::string> ChooseFolder(const std::string& title) override
    {
        const std::wstring text = Wide(title);
        BROWSEINFOW browse{};
        browse.hwndOwner = dialog_;
        browse.lpszTitle = text.c_str();
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
        if (chosen == nullptr)
            return std::nullopt;
        wchar_t path[MAX_PATH] = {};
        const bool converted = SHGetPathFromIDListW(chosen, path) != 0;
        CoTaskMemFree(chosen);
        if (!converted)
            return std::nullopt;
        return Utf8OfWide(path);
    }

    std::optional<std::string> ChooseFile(const std::string& title, const std::string& filterName) override
    {
        const std::wstring text = Wide(title);
        // "name\0pattern\0\0"
        std::wstring filter = Wide(filterName);
        filter.push_back(L'\0');
        filter += L"*.*";
        filter.push_back(L'\0');
        filter.push_back(L'\0');
        wchar_t file[261] = {};
        OPENFILENAMEW open{};
        open.lStructSize = sizeof open;
        open.hwndOwner = dialog_;
        open.lpstrFilter = filter.c_str();
        open.nFilterIndex = 1;
        open.lpstrFile = file;
        open.nMaxFile = static_cast<DWORD>(std::size(file));
        open.lpstrTitle = text.c_str();
        // The chooser would otherwise move the process into the keyfile's folder.
        open.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
        if (GetOpenFileNameW(&open) == 0)
            return std::nullopt;
        return Utf8OfWide(file);
    }

    void Flash() override
    {
        OnDialogThread([this] {
            FLASHWINFO flash{};
            flash.cbSize = sizeof flash;
            flash.hwnd = dialog_;
            flash.dwFlags = FLASHW_CAPTION | FLASHW_TRAY | FLASHW_TIMERNOFG;
            flash.uCount = 8;
            flash.dwTimeout = 0;
            FlashWindowEx(&flash);
        });
    }

    [[noreturn]] void EndProcess() override
    {
        EndDialog(dialog_, 0);
        ExitProcess(0);
    }

    // Runs the queued work, in order (RunOnDialogThread and the timer).
    void RunQueued()
    {
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(mutex_);
                wakePosted_ = false;
                if (queue_.empty())
                    return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }

private:
    // The worker never waits for the dialog thread: that thread may itself
    // be waiting for the worker to reach its gate (Break). Queued work runs
    // in order, also while the dialog thread shows a box; a wake-up message
    // that cannot be posted loses nothing, the dialog's timer drains the
    // queue as well.
    void OnDialogThread(std::function<void()> work)
    {
        if (GetCurrentThreadId() == dialogThread_) {
            work();
            return;
        }
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        if (!wakePosted_)
            wakePosted_ = PostMessageW(dialog_, RunOnDialogThread, 0, 0) != 0;
    }

    HWND dialog_ = nullptr;
    DWORD dialogThread_ = 0;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    bool wakePosted_ = false;
};

struct DialogContext {
    DialogContext(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem)
        : dialog(build, archive, fileSystem, view)
    {
    }
    Win32DialogView view;
    ExtractDialog dialog;
};

std::string CurrentDirectory()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return Utf8OfWide(std::wstring_view(path, length)).value_or("");
}

void OnCommand(DialogContext& context, HWND dialog, int id)
{
    switch (id) {
    case IdExit:
        context.dialog.ExitClicked();
        break;
    case IdBrowse:
        context.dialog.BrowseClicked();
        break;
    case IdExtract: {
        std::string destination = FieldText(dialog, IdDestination, 259);
        std::string passphrase = FieldText(dialog, IdPassphrase, static_cast<int>(MaxPassphraseUnits));
        std::string keyfile = FieldText(dialog, IdKeyfile, 259);
        context.dialog.ExtractClicked(destination, passphrase, keyfile);
        WipeString(passphrase);
        WipeString(keyfile);
        break;
    }
    case IdHelp:
        context.dialog.HelpClicked();
        break;
    case IdSelectKeyfile:
        context.dialog.SelectKeyfileClicked();
        break;
    default:
        break; // Esc (IDCANCEL) and Return (IDOK) do nothing
    }
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* context = reinterpret_cast<DialogContext*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        context->view.Attach(dialog);
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        const auto icon = reinterpret_cast<LPARAM>(LoadIconW(instance, MAKEINTRESOURCEW(IconResource)));
        SendMessageW(dialog, WM_SETICON, ICON_BIG, icon);
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, icon);
        // The edit control's default limit (about 30,000 characters) would
        // stop the log before the dialog restarts it.
        SendDlgItemMessageW(dialog, IdStatusLog, EM_SETLIMITTEXT, 0, 0);
        SetTimer(dialog, QueueTimer, 250, nullptr);
        context->dialog.Create(CurrentDirectory());
        return TRUE;
    }
    case WM_TIMER: {
        auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (context != nullptr && wParam == QueueTimer)
            context->view.RunQueued();
        return TRUE;
    }
    case WM_COMMAND: {
        auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (context != nullptr)
            OnCommand(*context, dialog, LOWORD(wParam));
        return TRUE;
    }
    case WM_CLOSE: {
        auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (context != nullptr)
            context->dialog.CloseRequested();
        ExitProcess(0);
    }
    case RunOnDialogThread: {
        auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (context != nullptr)
            context->view.RunQueued();
        return TRUE;
    }
    default:
        return FALSE;
    }
}

} // namespace

void RunDialog(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem)
{
    // The folder browser's new style needs OLE on this thread.
    (void)OleInitialize(nullptr);
    // Ends only through ExitProcess: never destroyed, so no destructor waits
    // for a worker that is still running.
    auto* context = new DialogContext(build, archive, fileSystem);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DialogResource), nullptr, &DialogProcedure,
                    reinterpret_cast<LPARAM>(context));
    ExitProcess(0);
}
