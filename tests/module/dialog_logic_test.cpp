// The dialog without a display: a recording view stands in for the window,
// the test thread plays the dialog thread.

#include "core/archive_format.h"
#include "module/dialog_logic.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <arpa/inet.h>
#include <atomic>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

const ModuleBuild EnglishBuild = EnglishModuleBuild;

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

bool WaitFor(const std::function<bool()>& ready)
{
    for (int i = 0; i < 4000 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ready();
}

class RecordingView final : public DialogView {
public:
    void SetTitle(const std::string& title) override { Record("title:" + title); }
    void SetExtractLabel(const std::string& label) override { Record("label:" + label); }
    void SetButtonsEnabled(bool enabled) override { Record(enabled ? "enable" : "disable"); }
    void SetDestination(const std::string& path) override
    {
        std::lock_guard lock(mutex_);
        destination = path;
    }
    void SetKeyfile(const std::string& location) override
    {
        std::lock_guard lock(mutex_);
        keyfile = location;
    }
    void ClearSecretFields() override { Record("clear secrets"); }
    void ClearLog() override
    {
        std::lock_guard lock(mutex_);
        log.clear();
    }
    void AppendLog(const std::string& line) override
    {
        {
            std::lock_guard lock(mutex_);
            log += line + "\n";
        }
        if (onAppend)
            onAppend(line);
    }
    void ShowError(const std::string& caption, const std::string& text) override
    {
        Record("error:" + caption + ":" + text);
    }
    void ShowHelp(const std::string& caption, const std::string& text) override
    {
        Record("help:" + caption + ":" + text);
    }
    bool AskAbort(const std::string& caption, const std::string& question) override
    {
        Record("abort?" + caption + ":" + question);
        return abortAnswer();
    }
    bool AskOverwrite(const std::string& caption, const std::string& question) override
    {
        return AskOverwriteOrAll(caption, question) == OverwriteAnswer::Yes;
    }
    OverwriteAnswer AskOverwriteOrAll(const std::string& caption, const std::string& question) override
    {
        Record("overwrite?" + caption + ":" + question);
        std::lock_guard lock(mutex_);
        if (overwriteAnswers.empty())
            return OverwriteAnswer::No;
        const OverwriteAnswer answer = overwriteAnswers.front();
        overwriteAnswers.erase(overwriteAnswers.begin());
        return answer;
    }
    void ShowFileProgress(const std::string& text) override { Record("progress:" + text); }
    std::optional<std::string> ChooseFolder(const std::string& title) override
    {
        Record("folder chooser:" + title);
        return folderChoice;
    }
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& filterName) override
    {
        Record("file chooser:" + title + ":" + filterName);
        return fileChoice;
    }
    void Flash() override
    {
        Record("flash");
        std::lock_guard lock(mutex_);
        ++flashes;
        flashed_.notify_all();
    }
    void EndProcess() override
    {
        Record("end");
        std::lock_guard lock(mutex_);
        ended = true;
    }

    void WaitForFlashes(int count)
    {
        std::unique_lock lock(mutex_);
        ASSERT_TRUE(flashed_.wait_for(lock, std::chrono::seconds(60), [&] { return flashes >= count; }));
    }
    std::vector<std::string> Events()
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::string Log()
    {
        std::lock_guard lock(mutex_);
        return log;
    }

    std::string destination;
    std::string keyfile;
    std::string log;
    bool ended = false;
    int flashes = 0;
    std::optional<std::string> folderChoice;
    std::optional<std::string> fileChoice;
    std::function<bool()> abortAnswer = [] { return false; };
    std::vector<OverwriteAnswer> overwriteAnswers;
    std::function<void(const std::string&)> onAppend;

private:
    void Record(const std::string& event)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }

    std::mutex mutex_;
    std::condition_variable flashed_;
    std::vector<std::string> events_;
};

class Dialog : public ::testing::Test {
protected:
    void Start(const std::vector<std::uint8_t>& bytes)
    {
        payload = bytes;
        archive = std::make_unique<MemoryPayloadArchive>(payload);
        dialog = std::make_unique<ExtractDialog>(EnglishBuild, *archive, *fileSystem, view);
        ASSERT_TRUE(dialog->Create("/start/dir"));
    }

    void Run(const std::string& passphrase, const std::string& destination)
    {
        const int before = view.flashes;
        dialog->ExtractClicked(destination, passphrase, "");
        view.WaitForFlashes(before + 1);
        dialog->JoinWorker();
    }

    void TearDown() override { dialog.reset(); }

    std::vector<std::uint8_t> payload;
    std::unique_ptr<MemoryPayloadArchive> archive;
    std::unique_ptr<ExtractFileSystem> fileSystem = MakeNativeExtractFileSystem();
    RecordingView view;
    std::unique_ptr<ExtractDialog> dialog;
    TempDir dir;
};

TEST_F(Dialog, CreationWithoutReadableHelpEndsTheProcess)
{
    const std::vector<std::uint8_t> nothing;
    const MemoryPayloadArchive empty(nothing);
    ExtractDialog failing(EnglishBuild, empty, *fileSystem, view);
    EXPECT_FALSE(failing.Create("/start"));
    EXPECT_EQ(view.Events(), (std::vector<std::string>{"error:Error:Can not open archive!", "end"}));
}

TEST_F(Dialog, CreationFillsDestinationAndFirstLine)
{
    PayloadBuilder builder(CipherAes256, u"p");
    Start(builder.Bytes());
    EXPECT_EQ(view.destination, "/start/dir");
    EXPECT_EQ(view.Log(), "Ready for extraction...\n");
}

TEST_F(Dialog, ExtractWithNeitherPassphraseNorKeyfileChangesNothing)
{
    PayloadBuilder builder(CipherAes256, u"p");
    Start(builder.Bytes());
    dialog->ExtractClicked(dir.Path(), "", "");
    EXPECT_EQ(view.Events(),
              std::vector<std::string>{"error:Error:You must enter passphrase and/or select keyfile!"});
    EXPECT_EQ(view.Log(), "Ready for extraction...\n");
    EXPECT_FALSE(dialog->Running());
}

// Text that is not UTF-8 is never taken as an empty field.
TEST_F(Dialog, FieldThatIsNotTextIsRefusedWithAMessage)
{
    PayloadBuilder builder(CipherAes256, u"p");
    Start(builder.Bytes());
    struct Case {
        std::string destination, passphrase, keyfile, field;
    };
    const Case cases[] = {
        {dir.Path(), "p\xff", "", "Passphrase"},
        {dir.Path(), "", "file:///k\xc3", "Keyfile (file://, http://, ftp://)"},
        {"/tmp/\xed\xa0\x80", "p", "", "Destination folder"},
    };
    for (const Case& c : cases) {
        dialog->ExtractClicked(c.destination, c.passphrase, c.keyfile);
        EXPECT_EQ(view.Events().back(),
                  "error:Error:The field \"" + c.field + "\" holds characters that are not valid text!");
        EXPECT_FALSE(dialog->Running());
    }
    EXPECT_EQ(view.Log(), "Ready for extraction...\n");
}

TEST_F(Dialog, RunSwitchesControlsLogsEntriesAndRestores)
{
    PayloadBuilder builder(CipherAes256, u"p");
    builder.EnterDir(u"docs").File(u"a.txt", Bytes("alpha")).LeaveDir();
    Start(builder.Bytes());
    Run("p", dir.Path());

    EXPECT_EQ(view.Events(), (std::vector<std::string>{
                                 "clear secrets",
                                 "disable",
                                 "label:Break",
                                 "title:Extracting archive: docs...",
                                 "title:Extracting archive: a.txt...",
                                 "label:Extract",
                                 "title:Ironquiver Self-Decrypting Archive",
                                 "enable",
                                 "flash",
                             }));
    EXPECT_EQ(view.Log(), "Extracting archive contents:\n docs\n a.txt\nDone!\n");
    EXPECT_EQ(ReadText(dir / "docs/a.txt"), "alpha");
    EXPECT_FALSE(dialog->Running());
}

TEST_F(Dialog, FailedRunShowsTheCodeAndLeavesTheDialogReady)
{
    PayloadBuilder builder(CipherRc4, u"right");
    builder.File(u"f", Bytes("x"));
    Start(builder.Bytes());
    Run("wrong", dir.Path());
    EXPECT_EQ(view.Log(), "Extracting archive contents:\nError!\n");
    const auto events = view.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "error:Error:Wrong passphrase or keyfile!"), events.end());
    EXPECT_EQ(events.back(), "flash");

    Run("right", dir.Path());
    EXPECT_EQ(view.Log(), "Extracting archive contents:\n f\nDone!\n");
}

TEST_F(Dialog, OverwriteQuestionNamesTheFile)
{
    WriteFile(dir / "f.txt", "old");
    PayloadBuilder builder(CipherAes256, u"p");
    builder.File(u"f.txt", Bytes("new"));
    Start(builder.Bytes());
    Run("p", dir.Path());
    const auto events = view.Events();
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "overwrite?Confirmation:\"f.txt\" already exists!\nDo you want to overrite it?"),
              events.end());
    EXPECT_EQ(ReadText(dir / "f.txt"), "old");
}

std::vector<std::string> Matching(const std::vector<std::string>& events, std::string_view prefix)
{
    std::vector<std::string> found;
    for (const std::string& event : events)
        if (event.starts_with(prefix))
            found.push_back(event);
    return found;
}

// "all" holds for the rest of the run and no longer; the plain answers
// for one file each.
TEST_F(Dialog, OverwriteAnswersForAllHoldForTheRestOfTheRun)
{
    struct Case {
        std::vector<OverwriteAnswer> answers;
        std::size_t questions;
        std::string contents; // of f1 to f4 after the run
    };
    const Case cases[] = {
        {{OverwriteAnswer::No, OverwriteAnswer::YesToAll}, 2, "old new new new"},
        {{OverwriteAnswer::Yes, OverwriteAnswer::NoToAll}, 2, "new old old old"},
        {{OverwriteAnswer::NoToAll}, 1, "old old old old"},
        {{OverwriteAnswer::Yes, OverwriteAnswer::No, OverwriteAnswer::Yes, OverwriteAnswer::No}, 4, "new old new old"},
    };
    PayloadBuilder builder(CipherAes256, u"p");
    for (const char16_t* name : {u"f1", u"f2", u"f3", u"f4"})
        builder.File(name, Bytes("new"));
    Start(builder.Bytes());
    for (const Case& c : cases) {
        TempDir target;
        for (const char* name : {"f1", "f2", "f3", "f4"})
            WriteFile(target / name, "old");
        const std::size_t before = Matching(view.Events(), "overwrite?").size();
        view.overwriteAnswers = c.answers;
        Run("p", target.Path());
        EXPECT_EQ(Matching(view.Events(), "overwrite?").size() - before, c.questions);
        EXPECT_EQ(ReadText(target / "f1") + " " + ReadText(target / "f2") + " " + ReadText(target / "f3") + " " +
                      ReadText(target / "f4"),
                  c.contents);
    }
}

// A file of several blocks shows how many are written; it is cleared when
// the next entry begins and when the run ends.
TEST_F(Dialog, LargeFileShowsItsBlocks)
{
    PayloadBuilder builder(CipherAes256, u"p");
    std::vector<std::uint8_t> big(BlockSize * 2 + 5, 0x5a);
    builder.File(u"big", big).File(u"small", Bytes("s")).File(u"big2", std::vector<std::uint8_t>(BlockSize + 1, 1));
    Start(builder.Bytes());
    Run("p", dir.Path());
    EXPECT_EQ(Matching(view.Events(), "progress:"),
              (std::vector<std::string>{"progress:Block 0 of 3", "progress:Block 1 of 3", "progress:Block 2 of 3",
                                        "progress:Block 3 of 3", "progress:", "progress:Block 0 of 2",
                                        "progress:Block 1 of 2", "progress:Block 2 of 2", "progress:"}));
}

// 28 units of "Extracting archive contents:", 250 per entry, 5 of "Done!":
// the first run ends at 15,033; the second reaches 30,000 at its 60th entry.
TEST_F(Dialog, LogIsRestartedAfter30000CountedUnitsAcrossRuns)
{
    PayloadBuilder builder(CipherAes256, u"p");
    std::vector<std::string> names;
    for (int i = 1; i <= 60; ++i) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%04d", i);
        names.push_back(std::string(246, 'n') + suffix);
        builder.File(U16(names.back()), {});
    }
    Start(builder.Bytes());
    TempDir first;
    Run("p", first.Path());
    EXPECT_EQ(view.Log().rfind("Extracting archive contents:\n", 0), 0U);

    TempDir second;
    Run("p", second.Path());
    EXPECT_EQ(view.Log(), "...\n " + names[59] + "\nDone!\n");
}

TEST_F(Dialog, ChoosersFillTheirFields)
{
    PayloadBuilder builder(CipherAes256, u"p");
    Start(builder.Bytes());
    view.folderChoice = "/chosen/folder";
    dialog->BrowseClicked();
    EXPECT_EQ(view.destination, "/chosen/folder");
    view.folderChoice.reset();
    dialog->BrowseClicked();
    EXPECT_EQ(view.destination, "/chosen/folder");

    view.fileChoice = "/keys/my.key";
    dialog->SelectKeyfileClicked();
    EXPECT_EQ(view.keyfile, "file:///keys/my.key");
    view.fileChoice.reset();
    dialog->SelectKeyfileClicked();
    EXPECT_EQ(view.keyfile, "file:///keys/my.key");
    const auto events = view.Events();
    EXPECT_EQ(events[0], "folder chooser:Select destination folder:");
    EXPECT_EQ(events[2], "file chooser:Select keyfile:All Files (*.*)");
}

TEST_F(Dialog, HelpShowsAboutTextThenTheArchiveHelp)
{
    const std::string about(EnglishTexts.aboutText);
    PayloadBuilder withHelp(CipherAes256, u"p", u"Call me.\r\nAt home.");
    Start(withHelp.Bytes());
    dialog->HelpClicked();
    EXPECT_EQ(view.Events().back(), "help:Help:" + about + "Call me.\nAt home.");

    PayloadBuilder without(CipherAes256, u"p");
    Start(without.Bytes());
    dialog->HelpClicked();
    EXPECT_EQ(view.Events().back(), "help:Help:" + about);
}

class DialogAbort : public Dialog {
protected:
    // Break is pressed once the worker has reported the first entry.
    void StartBigRun()
    {
        PayloadBuilder builder(CipherAes256, u"p");
        for (const char16_t* name : {u"one", u"two", u"three"})
            builder.File(name, TextBytes(3 * BlockSize, 11));
        Start(builder.Bytes());
        view.onAppend = [this](const std::string& line) {
            if (line != " one")
                return;
            std::unique_lock lock(mutex_);
            firstEntry_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return breakPressed_; });
        };
        dialog->ExtractClicked(dir.Path(), "p", "");
        std::unique_lock lock(mutex_);
        ASSERT_TRUE(changed_.wait_for(lock, std::chrono::seconds(60), [this] { return firstEntry_; }));
    }

    // Called from the view's abort question: lets the worker go on to its
    // gate and checks that it stays there.
    void ReleaseFirstEntryAndExpectHeld()
    {
        {
            std::lock_guard lock(mutex_);
            breakPressed_ = true;
            changed_.notify_all();
        }
        ASSERT_TRUE(WaitFor([this] { return dialog->WorkerHeld(); }));
        const std::string log = view.Log();
        const auto sizes = ListTree(dir.Path());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(view.Log(), log);
        EXPECT_EQ(ListTree(dir.Path()), sizes);
        EXPECT_TRUE(dialog->WorkerHeld());
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool firstEntry_ = false;
    bool breakPressed_ = false;
};

TEST_F(DialogAbort, DeclinedAbortGoesOnWhereTheRunStood)
{
    view.abortAnswer = [this] {
        ReleaseFirstEntryAndExpectHeld();
        return false;
    };
    StartBigRun();
    dialog->ExtractClicked("ignored", "ignored", ""); // Break
    view.WaitForFlashes(1);
    dialog->JoinWorker();
    EXPECT_FALSE(view.ended);
    EXPECT_EQ(view.Log(), "Extracting archive contents:\n one\n two\n three\nDone!\n");
    for (const char* name : {"one", "two", "three"})
        EXPECT_EQ(ReadFile(dir / name), TextBytes(3 * BlockSize, 11)) << name;
    const auto events = view.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "abort?Confirmation:Do you want to abort extraction?"),
              events.end());
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST_F(DialogAbort, ConfirmedAbortReleasesTheStateAndEndsTheProcess)
{
    const std::size_t before = OpenDescriptors();
    view.abortAnswer = [this] {
        ReleaseFirstEntryAndExpectHeld();
        return true;
    };
    StartBigRun();
    dialog->ExtractClicked("ignored", "ignored", "");
    EXPECT_TRUE(view.ended);
    // The output file and the destination handle are closed; the file the
    // run stood in is gone, under its name and its temporary one.
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(ListTree(dir.Path()).empty());
    EXPECT_EQ(view.Log(), "Extracting archive contents:\n one\nLeft incomplete and removed: one\n");
}

// A keyfile server that accepts and never answers: the worker is inside
// the URL reader, far from any checkpoint, yet Break with Yes and closing
// the window end the process at once.
TEST_F(Dialog, EndsPromptlyWhileTheKeyfileServerIsSilent)
{
    for (const bool close : {false, true}) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
        ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
        const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/key.bin";

        PayloadBuilder builder(CipherAes256, u"p");
        Start(builder.Bytes());
        view.abortAnswer = [] { return true; };
        dialog->ExtractClicked(dir.Path(), "p", url);
        std::atomic<bool> ended{false};
        std::thread dialogThread([&] {
            if (close)
                dialog->CloseRequested();
            else
                dialog->ExtractClicked("ignored", "ignored", ""); // Break
            ended = true;
        });
        EXPECT_TRUE(WaitFor([&] { return ended.load(); })) << close;
        ::close(listener); // the reader fails now instead of after its timeout
        dialogThread.join();
        EXPECT_TRUE(view.ended) << close;
        dialog.reset();
        view.ended = false;
    }
}

TEST_F(DialogAbort, CloseEndsTheProcessAtOnceWhileExitIsIgnored)
{
    view.abortAnswer = [] {
        ADD_FAILURE() << "closing asks nothing";
        return false;
    };
    StartBigRun();
    dialog->ExitClicked();
    EXPECT_FALSE(view.ended);
    dialog->CloseRequested();
    EXPECT_TRUE(view.ended);
    std::lock_guard lock(mutex_);
    breakPressed_ = true;
    changed_.notify_all();
}

} // namespace
