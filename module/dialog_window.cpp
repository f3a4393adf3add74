#include "module/dialog_window.h"

#include "module/dialog_logic.h"
#include "module/window_icon.h"
#include "platform/locked_buffer.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Secret_Input.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

// Dialog units to pixels at the toolkit's normal font.
constexpr int FontSize = 12;
int Px(int dialogUnits) { return static_cast<int>(std::lround(dialogUnits * 1.8)); }
int Py(int dialogUnits) { return static_cast<int>(std::lround(dialogUnits * 1.75)); }

[[noreturn]] void EndNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

// Work handed from the worker to the toolkit's thread. One wake-up is
// outstanding at a time, so the toolkit's own ring never fills.
class UiQueue {
public:
    void Init() { uiThread_ = std::this_thread::get_id(); }
    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

    void Post(std::function<void()> work)
    {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            pending_.push_back(std::move(work));
            wake = !wakeScheduled_;
            wakeScheduled_ = true;
        }
        if (wake)
            Fl::awake(&UiQueue::Drain, this);
    }

    // Runs `work` on the toolkit's thread and waits for its result.
    template <typename Result>
    Result Call(std::function<Result()> work)
    {
        if (OnUiThread())
            return work();
        // The posted work owns the promise, so it outlives set_value even
        // when the waiting thread wakes at once.
        auto promise = std::make_shared<std::promise<Result>>();
        auto future = promise->get_future();
        Post([promise, work = std::move(work)] {
            if constexpr (std::is_void_v<Result>) {
                work();
                promise->set_value();
            } else {
                promise->set_value(work());
            }
        });
        return future.get();
    }

    void Run(std::function<void()> work)
    {
        if (OnUiThread())
            work();
        else
            Post(std::move(work));
    }

private:
    // May be re-entered from a box's event loop: items are taken one by one.
    static void Drain(void* data)
    {
        auto* queue = static_cast<UiQueue*>(data);
        {
            std::lock_guard lock(queue->mutex_);
            queue->wakeScheduled_ = false;
        }
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(queue->mutex_);
                if (queue->pending_.empty())
                    return;
                work = std::move(queue->pending_.front());
                queue->pending_.pop_front();
            }
            work();
        }
    }

    std::thread::id uiThread_;
    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
    bool wakeScheduled_ = false;
};

enum class BoxIcon { Error, Question, Information };

// A message box: caption, icon, text and a row of buttons. Returns the
// index of the button pressed; closing the box or Esc gives `cancelIndex`.
int RunBox(const std::string& caption, BoxIcon icon, const std::string& text,
           const std::vector<std::string>& buttons, int defaultIndex, int cancelIndex, bool modal,
           bool scrollText)
{
    const int margin = 12;
    const int iconSize = 36;
    const int buttonWidth = 84;
    const int buttonHeight = 26;
    int textWidth = 360;
    int textHeight = 0;
    if (scrollText) {
        textWidth = 460;
        textHeight = 300;
    } else {
        fl_font(FL_HELVETICA, FontSize);
        int measuredWidth = textWidth;
        fl_measure(text.c_str(), measuredWidth, textHeight, 0);
        textWidth = std::max(200, std::min(measuredWidth, 480));
        measuredWidth = textWidth;
        textHeight = 0;
        fl_measure(text.c_str(), measuredWidth, textHeight, 0);
        textHeight = std::max(textHeight, iconSize);
    }
    const int buttonRow = static_cast<int>(buttons.size()) * (buttonWidth + 8) - 8;
    const int width = std::max(margin * 3 + iconSize + textWidth, margin * 2 + buttonRow);
    const int height = margin * 3 + textHeight + buttonHeight;

    Fl_Double_Window box(width, height);
    box.copy_label(caption.c_str());
    if (modal)
        box.set_modal();
    else
        box.set_non_modal();

    Fl_Box iconBox(margin, margin, iconSize, iconSize);
    iconBox.box(FL_THIN_UP_BOX);
    iconBox.labelfont(FL_TIMES_BOLD);
    iconBox.labelsize(26);
    switch (icon) {
    case BoxIcon::Error:
        iconBox.label("!");
        iconBox.labelcolor(FL_RED);
        break;
    case BoxIcon::Question:
        iconBox.label("?");
        iconBox.labelcolor(FL_BLUE);
        break;
    case BoxIcon::Information:
        iconBox.label("i");
        iconBox.labelcolor(FL_BLUE);
        break;
    }

    std::unique_ptr<Fl_Text_Buffer> buffer;
    std::unique_ptr<Fl_Widget> textWidget;
    const int textX = margin * 2 + iconSize;
    if (scrollText) {
        buffer = std::make_unique<Fl_Text_Buffer>();
        buffer->text(text.c_str());
        auto display = std::make_unique<Fl_Text_Display>(textX, margin, textWidth, textHeight);
        display->buffer(buffer.get());
        display->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
        textWidget = std::move(display);
    } else {
        auto label = std::make_unique<Fl_Box>(textX, margin, textWidth, textHeight);
        label->copy_label(text.c_str());
        label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_TOP);
        textWidget = std::move(label);
    }

    int result = -1;
    struct Choice {
        int* result;
        int index;
    };
    std::vector<std::unique_ptr<Fl_Button>> buttonWidgets;
    const int count = static_cast<int>(buttons.size());
    std::vector<Choice> choices;
    choices.reserve(buttons.size()); // the buttons point into it
    for (int i = 0; i < count; ++i) {
        const int x = width - margin - (count - i) * (buttonWidth + 8) + 8;
        std::unique_ptr<Fl_Button> button;
        if (i == defaultIndex)
            button = std::make_unique<Fl_Return_Button>(x, height - margin - buttonHeight, buttonWidth,
                                                        buttonHeight);
        else
            button = std::make_unique<Fl_Button>(x, height - margin - buttonHeight, buttonWidth, buttonHeight);
        button->copy_label(buttons[i].c_str());
        choices.push_back({&result, i});
        button->callback(
            [](Fl_Widget* widget, void* data) {
                const auto* choice = static_cast<const Choice*>(data);
                *choice->result = choice->index;
                widget->window()->hide();
            },
            &choices.back());
        buttonWidgets.push_back(std::move(button));
    }
    box.end();
    if (defaultIndex >= 0 && defaultIndex < count)
        buttonWidgets[defaultIndex]->take_focus();

    box.position((Fl::w() - width) / 2, (Fl::h() - height) / 2);
    box.show();
    while (box.shown())
        Fl::wait();
    // The children, declared after the box, leave it as they are destroyed.
    return result < 0 ? cancelIndex : result;
}

// The dialog window: its widgets, and the view the dialog logic talks to.
class ModuleWindow final : public Fl_Double_Window, public DialogView {
public:
    ModuleWindow(const ModuleBuild& build, UiQueue& queue)
        : Fl_Double_Window(Px(build.layout.width), Py(178)), texts_(*build.texts), queue_(queue)
    {
        const DialogLayout& layout = build.layout;
        labelWidth_ = layout.buttonX - 14;
        copy_label(std::string(texts_.windowTitle).c_str());
        const int bx = Px(layout.buttonX);
        const int bw = Px(layout.buttonWidth);
        const int bh = Py(14);

        const int fieldWidth = Px(layout.buttonX - 14);
        // Created in the order Tab goes: each field, then the button that
        // fills it, top to bottom, then the commands.
        destination_ = Own(std::make_unique<Fl_Input>(Px(7), Py(18), fieldWidth, Py(14)));
        browse_ = AddButton(bx, Py(17), bw, bh, texts_.browseButton,
                            [](ModuleWindow& w) { w.dialog_->BrowseClicked(); });
        passphrase_ = Own(std::make_unique<Fl_Secret_Input>(Px(7), Py(54), fieldWidth, Py(14)));
        keyfile_ = Own(std::make_unique<Fl_Input>(Px(7), Py(84), fieldWidth, Py(14)));
        selectKeyfile_ = AddButton(bx, Py(33), bw, bh, texts_.selectKeyfileButton,
                                   [](ModuleWindow& w) { w.dialog_->SelectKeyfileClicked(); });
        extract_ = AddButton(bx, Py(49), bw, bh, texts_.extractButton, [](ModuleWindow& w) {
            // Copies of our own (the passphrase in locked memory), wiped once
            // the dialog has taken them: taking them clears the fields.
            const std::string_view typed = w.passphrase_->value();
            const LockedBuffer<char> passphrase = LockedCopy(typed);
            std::string keyfile = w.keyfile_->value();
            w.dialog_->ExtractClicked(w.destination_->value(), std::string_view(passphrase.data(), typed.size()),
                                      keyfile);
            SecureWipe(keyfile.data(), keyfile.size());
        });
        help_ = AddButton(bx, Py(68), bw, bh, texts_.helpButton, [](ModuleWindow& w) { w.dialog_->HelpClicked(); });
        exit_ = AddButton(bx, Py(84), bw, bh, texts_.exitButton, [](ModuleWindow& w) { w.dialog_->ExitClicked(); });
        for (Fl_Input* field : {destination_, passphrase_, keyfile_}) {
            field->textsize(FontSize);
            // Enter in a field starts the extraction, as the default button
            // of a dialog does.
            field->when(FL_WHEN_ENTER_KEY_ALWAYS);
            field->callback([](Fl_Widget* widget, void*) {
                auto* window = static_cast<ModuleWindow*>(widget->window());
                if (!window->dialog_->Running())
                    window->extract_->do_callback();
            });
        }
        AddLabel(Px(7), Py(7), texts_.destinationLabel);
        AddLabel(Px(7), Py(43), texts_.passphraseLabel);
        AddLabel(Px(7), Py(73), texts_.keyfileLabel);
        AddLabel(Px(7), Py(109), texts_.statusLabel);
        fileProgress_ = Own(std::make_unique<Fl_Box>(Px(7), Py(109), Px(layout.width - 14), Py(8)));
        fileProgress_->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);

        logBuffer_ = std::make_unique<Fl_Text_Buffer>();
        log_ = Own(std::make_unique<Fl_Text_Editor>(Px(7), Py(120), Px(layout.width - 14), Py(50)));
        log_->buffer(logBuffer_.get());
        log_->textsize(FontSize);
        end();

        callback([](Fl_Widget* widget, void*) {
            // Esc does not close the dialog; its close command does.
            if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
                return;
            static_cast<ModuleWindow*>(widget)->dialog_->CloseRequested();
        });
    }

    void Attach(ExtractDialog& dialog) { dialog_ = &dialog; }

    int handle(int event) override
    {
        if (event == FL_FOCUS || event == FL_PUSH || event == FL_KEYDOWN)
            SetUrgency(false);
        return Fl_Double_Window::handle(event);
    }

    // Clears the flash once the window has the focus again.
    static int SystemEvent(void* event, void* data)
    {
        auto* window = static_cast<ModuleWindow*>(data);
        const auto* xevent = static_cast<const XEvent*>(event);
        if (xevent->type == FocusIn && xevent->xfocus.window == fl_xid(window))
            window->SetUrgency(false);
        return 0;
    }

    // DialogView.
    void SetTitle(const std::string& title) override
    {
        queue_.Run([this, title] { copy_label(title.c_str()); });
    }
    void SetExtractLabel(const std::string& label) override
    {
        queue_.Run([this, label] { extract_->copy_label(label.c_str()); });
    }
    void SetButtonsEnabled(bool enabled) override
    {
        queue_.Run([this, enabled] {
            for (Fl_Widget* button : {static_cast<Fl_Widget*>(exit_), static_cast<Fl_Widget*>(browse_),
                                      static_cast<Fl_Widget*>(selectKeyfile_), static_cast<Fl_Widget*>(help_)}) {
                if (enabled)
                    button->activate();
                else
                    button->deactivate();
            }
        });
    }
    void SetDestination(const std::string& path) override
    {
        queue_.Run([this, path] { destination_->value(path.c_str()); });
    }
    void SetKeyfile(const std::string& location) override
    {
        queue_.Run([this, location] { keyfile_->value(location.c_str()); });
    }
    void ClearSecretFields() override
    {
        queue_.Run([this] {
            passphrase_->value("");
            keyfile_->value("");
        });
    }
    void ClearLog() override
    {
        queue_.Run([this] { logBuffer_->text(""); });
    }
    void AppendLog(const std::string& line) override
    {
        queue_.Run([this, line] {
            logBuffer_->append((line + "\n").c_str());
            log_->insert_position(logBuffer_->length());
            log_->show_insert_position();
        });
    }
    void ShowError(const std::string& caption, const std::string& text) override
    {
        queue_.Call<void>([&] {
            RunBox(caption, BoxIcon::Error, text, {std::string(texts_.okButton)}, 0, 0, true, false);
        });
    }
    void ShowHelp(const std::string& caption, const std::string& text) override
    {
        RunBox(caption, BoxIcon::Information, text, {std::string(texts_.okButton)}, 0, 0, true, true);
    }
    bool AskAbort(const std::string& caption, const std::string& question) override
    {
        return RunBox(caption, BoxIcon::Question, question,
                      {std::string(texts_.yesButton), std::string(texts_.noButton)}, 1, 1, true, false) == 0;
    }
    bool AskOverwrite(const std::string& caption, const std::string& question) override
    {
        const OverwriteAnswer answer = AskOverwriteOrAll(caption, question);
        return answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll;
    }
    OverwriteAnswer AskOverwriteOrAll(const std::string& caption, const std::string& question) override
    {
        // Without an owner: the dialog stays usable, Break included. No
        // stays the default and the answer of Esc.
        static constexpr OverwriteAnswer answers[] = {OverwriteAnswer::Yes, OverwriteAnswer::YesToAll,
                                                      OverwriteAnswer::No, OverwriteAnswer::NoToAll};
        const int chosen = queue_.Call<int>([&] {
            return RunBox(caption, BoxIcon::Question, question,
                          {std::string(texts_.yesButton), std::string(texts_.yesToAllButton),
                           std::string(texts_.noButton), std::string(texts_.noToAllButton)},
                          2, 2, false, false);
        });
        return answers[chosen];
    }
    void ShowFileProgress(const std::string& text) override
    {
        queue_.Run([this, text] { fileProgress_->copy_label(text.c_str()); });
    }
    // The first field the recipient has to fill.
    void FocusFirstEmptyField()
    {
        for (Fl_Input* field : {destination_, passphrase_, keyfile_}) {
            if (*field->value() == '\0') {
                field->take_focus();
                return;
            }
        }
        extract_->take_focus();
    }
    std::optional<std::string> ChooseFolder(const std::string& title) override
    {
        Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
        chooser.title(title.c_str());
        // Opens where the destination is, rather than at the desktop's
        // recently used files, which a folder chooser cannot pick from.
        struct stat info {};
        if (::stat(destination_->value(), &info) == 0 && S_ISDIR(info.st_mode))
            chooser.directory(destination_->value());
        if (chooser.show() != 0 || chooser.filename() == nullptr || *chooser.filename() == '\0')
            return std::nullopt;
        return std::string(chooser.filename());
    }
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& filterName) override
    {
        Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
        chooser.title(title.c_str());
        // "*.*" would only match names with a dot here.
        const std::string filter = filterName + "\t*";
        chooser.filter(filter.c_str());
        chooser.filter_value(0);
        if (chooser.show() != 0 || chooser.filename() == nullptr)
            return std::nullopt;
        struct stat info {};
        if (::stat(chooser.filename(), &info) != 0 || S_ISDIR(info.st_mode))
            return std::nullopt;
        return std::string(chooser.filename());
    }
    void Flash() override
    {
        queue_.Run([this] { SetUrgency(true); });
    }
    void EndProcess() override { EndNow(); }

private:
    using Action = void (*)(ModuleWindow&);

    template <typename Widget>
    Widget* Own(std::unique_ptr<Widget> widget)
    {
        Widget* raw = widget.get();
        widgets_.push_back(std::move(widget));
        return raw;
    }

    Fl_Button* AddButton(int x, int y, int w, int h, std::string_view text, Action action)
    {
        auto* button = Own(std::make_unique<Fl_Button>(x, y, w, h));
        button->copy_label(std::string(text).c_str());
        actions_.push_back(action);
        button->callback(
            [](Fl_Widget* widget, void* data) {
                auto* window = static_cast<ModuleWindow*>(widget->window());
                window->actions_[reinterpret_cast<std::uintptr_t>(data)](*window);
            },
            reinterpret_cast<void*>(static_cast<std::uintptr_t>(actions_.size() - 1)));
        return button;
    }

    void AddLabel(int x, int y, std::string_view text)
    {
        auto* label = Own(std::make_unique<Fl_Box>(x, y, Px(labelWidth_), Py(8)));
        label->copy_label(std::string(text).c_str());
        label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    }

    void SetUrgency(bool on)
    {
        const Window xid = fl_xid(this);
        if (xid == 0 || urgent_ == on)
            return;
        urgent_ = on;
        XWMHints* hints = XGetWMHints(fl_display, xid);
        XWMHints fresh{};
        XWMHints* target = hints != nullptr ? hints : &fresh;
        if (on)
            target->flags |= XUrgencyHint;
        else
            target->flags &= ~XUrgencyHint;
        XSetWMHints(fl_display, xid, target);
        if (hints != nullptr)
            XFree(hints);
        XFlush(fl_display);
    }

    const ModuleTexts& texts_;
    UiQueue& queue_;
    ExtractDialog* dialog_ = nullptr;
    std::vector<std::unique_ptr<Fl_Widget>> widgets_;
    std::vector<Action> actions_;
    std::unique_ptr<Fl_Text_Buffer> logBuffer_;
    Fl_Button* exit_ = nullptr;
    Fl_Button* browse_ = nullptr;
    Fl_Button* extract_ = nullptr;
    Fl_Button* help_ = nullptr;
    Fl_Button* selectKeyfile_ = nullptr;
    Fl_Input* destination_ = nullptr;
    Fl_Input* passphrase_ = nullptr;
    Fl_Input* keyfile_ = nullptr;
    Fl_Text_Editor* log_ = nullptr;
    Fl_Box* fileProgress_ = nullptr;
    int labelWidth_ = 0;
    bool urgent_ = false;
};

std::string CurrentDirectory()
{
    char path[PATH_MAX];
    return ::getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string();
}

} // namespace

bool RunWindowMode(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    fl_open_display(display);
    FL_NORMAL_SIZE = FontSize;
    // A current look of the toolkit; the layout and the texts stay as they are.
    Fl::scheme("gtk+");
    // Every window of the dialog, the message boxes too, carries the icon.
    const Fl_RGB_Image icon(kWindowIconRgba, kWindowIconSize, kWindowIconSize, 4);
    Fl_Window::default_icon(&icon);
    Fl::lock(); // lets the worker wake the event loop

    UiQueue queue;
    queue.Init();
    ModuleWindow window(build, queue);
    ExtractDialog dialog(build, archive, fileSystem, window);
    window.Attach(dialog);
    if (!dialog.Create(CurrentDirectory()))
        EndNow();
    window.position((Fl::w() - window.w()) / 2, (Fl::h() - window.h()) / 2);
    window.show();
    window.FocusFirstEmptyField();
    Fl::add_system_handler(&ModuleWindow::SystemEvent, &window);
    while (Fl::first_window() != nullptr)
        Fl::wait();
    EndNow();
}
