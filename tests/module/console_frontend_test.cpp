// The console mode in-process: options, what goes to which stream, exit
// statuses, the questions on a terminal.

#include "core/archive_format.h"
#include "module/console_frontend.h"
#include "module/console_interrupt.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const ModuleBuild EnglishBuild = EnglishModuleBuild;
const ModuleBuild RussianBuild = RussianModuleBuild;

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string About(const ModuleBuild& build)
{
    return std::string(build.texts->aboutText);
}

class Capture {
public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() { std::fclose(file_); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* Get() const { return file_; }
    std::string Text() const
    {
        std::fflush(file_);
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;)
            text.push_back(static_cast<char>(c));
        std::fseek(file_, 0, SEEK_END);
        return text;
    }

private:
    std::FILE* file_;
};

struct ConsoleResult {
    int status;
    std::string out;
    std::string err;
};

ConsoleResult RunWith(const std::vector<std::uint8_t>& payload, const std::vector<const char*>& args,
                      const std::string& input, const ModuleBuild& build = EnglishBuild)
{
    std::string error;
    const auto options = ParseConsoleOptions(static_cast<int>(args.size()), args.data(), &error);
    if (!options)
        throw std::runtime_error("bad options: " + error);
    Capture in;
    std::fputs(input.c_str(), in.Get());
    std::rewind(in.Get());
    Capture out;
    Capture err;
    const MemoryPayloadArchive archive(payload);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const int status = RunConsole(*options, build, archive, *fileSystem, {in.Get(), out.Get(), err.Get()});
    return {status, out.Text(), err.Text()};
}

TEST(ConsoleOptions, AcceptsTheInterfaceAndRefusesEverythingElse)
{
    struct Good {
        std::vector<const char*> args;
        std::string destination;
        std::string keyfile;
        OverwritePolicy overwrite;
        bool list;
        bool test;
    };
    const Good goods[] = {
        {{}, ".", "", OverwritePolicy::Ask, false, false},
        {{"--console", "--dest", "/tmp/x", "--keyfile", "file:///k", "--overwrite", "always"},
         "/tmp/x", "file:///k", OverwritePolicy::Always, false, false},
        {{"--dest=/d", "--overwrite=never", "--list"}, "/d", "", OverwritePolicy::Never, true, false},
        {{"--test", "--overwrite", "ask"}, ".", "", OverwritePolicy::Ask, false, true},
    };
    for (const Good& good : goods) {
        std::string error;
        const auto options = ParseConsoleOptions(static_cast<int>(good.args.size()), good.args.data(), &error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->destination, good.destination);
        EXPECT_EQ(options->keyfile, good.keyfile);
        EXPECT_EQ(options->overwrite, good.overwrite);
        EXPECT_EQ(options->list, good.list);
        EXPECT_EQ(options->test, good.test);
    }

    const std::vector<std::vector<const char*>> bads = {
        {"--dest"}, {"--overwrite", "sometimes"}, {"--list", "--test"}, {"stray"}, {"--verbose"}, {"-d", "x"},
    };
    for (const auto& bad : bads) {
        std::string error;
        EXPECT_FALSE(ParseConsoleOptions(static_cast<int>(bad.size()), bad.data(), &error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ConsoleUsage("a.run"), "usage: a.run [--console] [--dest DIR] [--keyfile LOCATION] "
                                     "[--overwrite ask|always|never] [--list] [--test] [--help]\n");
}

TEST(ConsoleRun, PrintsHelpThenTheLogLines)
{
    PayloadBuilder builder(CipherAes256, u"pass", u"Read me first.\r\nSecond line.");
    builder.EnterDir(u"docs").File(u"a.txt", Bytes("alpha")).LeaveDir().File(u"b.txt", Bytes("beta"));
    TempDir dir;
    const std::string dest = dir.Path();
    const auto result = RunWith(builder.Bytes(), {"--dest", dest.c_str()}, "pass\r\nnot the passphrase\n");
    EXPECT_EQ(result.status, 0) << result.err;
    // Not a terminal: the banner and help go to standard error, the log
    // lines alone to standard output.
    EXPECT_EQ(result.out, "Extracting archive contents:\n docs\n a.txt\n b.txt\nDone!\n");
    EXPECT_EQ(result.err, About(EnglishBuild) + "Read me first.\nSecond line.\n");
    EXPECT_EQ(ReadText(dir / "docs/a.txt"), "alpha");
}

TEST(ConsoleRun, ExitStatusesAndWhereTheTextsGo)
{
    PayloadBuilder builder(CipherBlowfish, u"pass");
    builder.File(u"f", Bytes("x"));
    TempDir dir;
    const std::string dest = dir.Path();
    const std::string missing = dir / "missing";
    struct Case {
        const char* label;
        std::vector<const char*> args;
        std::string input;
        int status;
        std::string outTail;
        std::string err;
    };
    const Case cases[] = {
        {"wrong passphrase", {"--dest", missing.c_str()}, "pas\n", 7, "Extracting archive contents:\nError!\n",
         "Wrong passphrase or keyfile!\n"},
        {"missing destination", {"--dest", missing.c_str()}, "pass\n", 6, "Extracting archive contents:\nError!\n",
         "Can not create or open output directory!\n"},
        {"empty first line", {"--dest", dest.c_str()}, "\npass\n", ExitNoKeyInput, "",
         "You must enter passphrase and/or select keyfile!\n"},
        {"no input at all", {"--dest", dest.c_str()}, "", ExitNoKeyInput, "",
         "You must enter passphrase and/or select keyfile!\n"},
        {"over-long passphrase", {"--dest", dest.c_str()}, std::string(256, 'p') + "\n", ExitNoKeyInput,
         "", "The passphrase is longer than 255 characters, which is all the archive can use.\n"},
        {"missing keyfile", {"--dest", dest.c_str(), "--keyfile", "/nonexistent/key"}, "pass\n", 3,
         "Extracting archive contents:\nError!\n", "Can not read keyfile!\n"},
    };
    for (const Case& c : cases) {
        const auto result = RunWith(builder.Bytes(), c.args, c.input);
        EXPECT_EQ(result.status, c.status) << c.label;
        EXPECT_EQ(result.out, c.outTail) << c.label;
        EXPECT_EQ(result.err, About(EnglishBuild) + c.err) << c.label;
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(ListTree(dir.Path()).empty());
}

TEST(ConsoleRun, HelpThatCannotBeReadEndsAtOnce)
{
    PayloadBuilder builder(CipherAes256, u"pass");
    struct Case {
        const ModuleBuild* build;
        std::uint16_t helpLength;
        std::string err;
    };
    for (const Case& c : {Case{&EnglishBuild, 1427, "Can not open archive!\n"},
                          Case{&RussianBuild, 1431, "Невозможно открыть архив!\n"}}) {
        builder.SetHelpLength(c.helpLength);
        const auto result = RunWith(builder.Bytes(), {}, "pass\n", *c.build);
        EXPECT_EQ(result.status, 4);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
    const auto empty = RunWith({}, {}, "pass\n");
    EXPECT_EQ(empty.status, 4);
}

TEST(ConsoleRun, ListAndTestWriteNothing)
{
    PayloadBuilder builder(CipherRc5, u"pass");
    builder.EnterDir(u"docs")
        .File(u"a.txt", Bytes("alpha"), 6, 0x20, 133444736000000000ULL)
        .EnterDir(u"empty")
        .LeaveDir()
        .LeaveDir()
        .File(u"top.bin", std::vector<std::uint8_t>(1234, 7), 0, 0x20, 116444736000000000ULL);
    TempDir dir;
    const std::string dest = dir.Path();

    const auto listed = RunWith(builder.Bytes(), {"--dest", dest.c_str(), "--list"}, "pass\n");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "docs/\n"
                              "           5 2023-11-14T22:13:20Z docs/a.txt\n"
                              "docs/empty/\n"
                              "        1234 1970-01-01T00:00:00Z top.bin\n");

    const auto tested = RunWith(builder.Bytes(), {"--dest", dest.c_str(), "--test"}, "pass\n");
    EXPECT_EQ(tested.status, 0) << tested.err;
    EXPECT_EQ(tested.out, "Extracting archive contents:\n docs\n a.txt\n empty\n top.bin\nDone!\n");
    EXPECT_TRUE(ListTree(dir.Path()).empty());
}

TEST(ConsoleRun, OverwritePolicies)
{
    PayloadBuilder builder(CipherAes256, u"pass");
    builder.File(u"f.txt", Bytes("new"));
    struct Case {
        std::vector<const char*> extra;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "old"}, // asked, but there is no terminal to ask
        {{"--overwrite", "ask"}, "old"},
        {{"--overwrite", "never"}, "old"},
        {{"--overwrite", "always"}, "new"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "f.txt", "old");
        const std::string dest = dir.Path();
        std::vector<const char*> args{"--dest", dest.c_str()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto result = RunWith(builder.Bytes(), args, "pass\n");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(ReadText(dir / "f.txt"), c.expected);
        EXPECT_EQ(result.err, About(EnglishBuild));
    }
}

TEST(ConsoleRun, ControlCharactersFromTheArchiveNeverReachTheTerminal)
{
    PayloadBuilder builder(CipherAes256, u"pass", u"help\x1b[2J\u009b text");
    builder.File(u"evil\x1b]0;title\x07name", Bytes("x"));
    const auto result = RunWith(builder.Bytes(), {"--test"}, "pass\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(result.out.find('\x07'), std::string::npos);
    EXPECT_EQ(result.out.find("\xc2\x9b"), std::string::npos);
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    EXPECT_NE(result.err.find("help?[2J? text"), std::string::npos);
    EXPECT_NE(result.out.find(" evil?]0;title?name\n"), std::string::npos);
}

TEST(ConsoleRun, RussianBuildSpeaksRussian)
{
    PayloadBuilder builder(CipherAes256, u"pass");
    builder.File(u"f", Bytes("x"));
    const auto result = RunWith(builder.Bytes(), {"--test"}, "pass\n", RussianBuild);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, About(RussianBuild));
    EXPECT_EQ(result.out, "Идет распаковка архива:\n f\nГотово!\n");
}

// On a terminal the passphrase is typed without echo, and the overwrite
// question is asked and answered there.
TEST(ConsoleRun, TerminalPromptsWithoutEcho)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* terminal = ::fdopen(slave, "r");
    ASSERT_NE(terminal, nullptr);

    PayloadBuilder builder(CipherAes256, u"typed secret");
    builder.File(u"f.txt", Bytes("new"));
    TempDir dir;
    WriteFile(dir / "f.txt", "old");
    const std::string dest = dir.Path();
    const char* args[] = {"--dest", dest.c_str()};
    std::string error;
    const auto options = ParseConsoleOptions(2, args, &error);
    ASSERT_TRUE(options);
    Capture out;
    Capture err;
    const MemoryPayloadArchive archive(builder.Bytes());
    const auto fileSystem = MakeNativeExtractFileSystem();
    int status = -1;
    std::thread run([&] { status = RunConsole(*options, EnglishBuild, archive, *fileSystem, {terminal, out.Get(), err.Get()}); });

    const auto waitFor = [](const std::function<bool()>& ready) {
        for (int i = 0; i < 2000 && !ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return ready();
    };
    const bool echoOff = waitFor([&] {
        struct termios mode {};
        return ::tcgetattr(slave, &mode) == 0 && (mode.c_lflag & ECHO) == 0;
    });
    EXPECT_TRUE(echoOff);
    EXPECT_EQ(::write(master, "typed secret\n", 13), 13);
    const bool asked = waitFor([&] { return err.Text().find("overrite it? [y/N/all/none] ") != std::string::npos; });
    EXPECT_TRUE(asked);
    EXPECT_EQ(::write(master, "y\n", 2), 2);
    run.join();

    EXPECT_EQ(status, 0) << err.Text();
    EXPECT_EQ(err.Text(), About(EnglishBuild) + "Passphrase: \"f.txt\" already exists!\nDo you want to overrite it? [y/N/all/none] ");
    EXPECT_EQ(ReadText(dir / "f.txt"), "new");
    struct termios mode {};
    ASSERT_EQ(::tcgetattr(slave, &mode), 0);
    EXPECT_NE(mode.c_lflag & ECHO, 0U) << "echo is back on";

    // What the terminal showed: the answer, but not the passphrase.
    char shown[256] = {};
    const ssize_t length = ::read(master, shown, sizeof shown - 1);
    EXPECT_GT(length, 0);
    EXPECT_EQ(std::string(shown).find("secret"), std::string::npos) << shown;
    std::fclose(terminal);
    ::close(master);
}

} // namespace

namespace {

// Raises SIGINT once the run has read `after` bytes of the payload.
class InterruptingArchive final : public PayloadArchive {
public:
    InterruptingArchive(const std::vector<std::uint8_t>& payload, std::size_t after)
        : payload_(payload), after_(after)
    {
    }
    std::unique_ptr<PayloadReader> Open() const override
    {
        class Reader final : public PayloadReader {
        public:
            Reader(std::unique_ptr<PayloadReader> inner, std::size_t after) : inner_(std::move(inner)), after_(after)
            {
            }
            bool Seek(std::uint64_t position) override
            {
                read_ = position;
                return inner_->Seek(position);
            }
            bool ReadExact(std::uint8_t* buffer, std::size_t length) override
            {
                read_ += length;
                if (read_ > after_ && !raised_) {
                    raised_ = true;
                    std::raise(SIGINT);
                }
                return inner_->ReadExact(buffer, length);
            }

        private:
            std::unique_ptr<PayloadReader> inner_;
            std::size_t after_;
            std::uint64_t read_ = 0;
            bool raised_ = false;
        };
        return std::make_unique<Reader>(memory_.Open(), after_);
    }

private:
    const std::vector<std::uint8_t>& payload_;
    MemoryPayloadArchive memory_{payload_};
    std::size_t after_;
};

} // namespace

// Ctrl+C: inside a file, the run stops at its next checkpoint and removes
// what it wrote of it; before any file is begun, the process ends at once.
TEST(ConsoleRun, InterruptRemovesTheUnfinishedFile)
{
    PayloadBuilder builder(CipherAes256, u"p");
    builder.File(u"done.txt", Bytes("whole"));
    const std::size_t beforeBig = builder.Size();
    builder.File(u"big", TextBytes(3 * BlockSize, 21));
    struct Case {
        const char* label;
        std::size_t after;
        bool child; // the handler ends the process
    };
    const Case cases[] = {
        {"inside the file", (beforeBig + builder.Size()) / 2, false},
        {"before the file", beforeBig - 10, true},
    };
    // The signal comes at a read offset: the archive is read on the run's
    // thread, so that the offset says where the run stands.
    const PinnedToOneProcessor pin;
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "big", "earlier version");
        const auto run = [&](Capture& out, Capture& err) {
            std::vector<const char*> args{"--dest", dir.Path().c_str(), "--overwrite", "always"};
            std::string error;
            const auto options = ParseConsoleOptions(static_cast<int>(args.size()), args.data(), &error);
            Capture in;
            std::fputs("p\n", in.Get());
            std::rewind(in.Get());
            const InterruptingArchive archive(builder.Bytes(), c.after);
            const auto fileSystem = MakeNativeExtractFileSystem();
            return RunConsole(*options, EnglishBuild, archive, *fileSystem, {in.Get(), out.Get(), err.Get()});
        };
        Capture out;
        Capture err;
        int status = 0;
        if (c.child) {
            const pid_t child = fork();
            if (child == 0)
                _exit(run(out, err));
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status)) << c.label;
            status = WEXITSTATUS(status);
        } else {
            status = run(out, err);
        }
        EXPECT_EQ(status, ExitConsoleInterrupted) << c.label;
        EXPECT_EQ(ListTree(dir.Path()), (std::vector<std::string>{"big", "done.txt"})) << c.label;
        EXPECT_TRUE(ReadText(dir / "big") == "earlier version") << c.label;
        EXPECT_EQ(err.Text(), About(EnglishBuild) + "Interrupted.\n") << c.label;
        if (!c.child) {
            EXPECT_NE(out.Text().find("\nLeft incomplete and removed: big\n"), std::string::npos) << out.Text();
        }
    }
}
