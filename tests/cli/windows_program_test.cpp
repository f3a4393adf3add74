// ivqa.exe under Wine: the same refusals and exit statuses as ivqa, its
// archives read back by the Linux ivqa byte for byte, wipes on Win32 paths
// and a passphrase typed at a console (Wine gives a console to a program
// whose standard input is a terminal, and reads it through ReadConsoleW).

#include "cli_fixture.h"
#include "ivqa_process.h"
#include "payload_builder.h"
#include "usage_cases.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string BinDir()
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    return bin != nullptr ? bin : ".";
}

std::string Wine()
{
    const char* wine = std::getenv("IVQA_WINE64");
    return wine != nullptr ? wine : "wine64";
}

std::vector<std::string> ExeArgs(std::vector<std::string> args)
{
    args.insert(args.begin(), BinDir() + "/ivqa.exe");
    return args;
}

ProcessOutcome RunExe(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& directory = "")
{
    return RunIvqa(ExeArgs(args), input, directory, Wine());
}

std::string Shown(const std::vector<std::string>& args)
{
    std::string shown;
    for (const std::string& arg : args)
        shown += arg + " ";
    return shown;
}

// ivqa.exe started with its standard input and error on a terminal.
ProcessRequest AtConsole(const std::vector<std::string>& args, const std::string& directory)
{
    ProcessRequest request;
    request.program = Wine();
    request.args = ExeArgs(args);
    request.workingDirectory = directory;
    request.stdinOnTerminal = true;
    request.stderrOnTerminal = true;
    return request;
}

// Both prompts of a new archive; the console turns the terminal's echo off
// while it reads a line.
void TypeNewPassphrase(ChildProcess& child, const std::string& passphrase)
{
    for (const char* prompt : {"Passphrase:", "Confirm passphrase:"}) {
        ASSERT_TRUE(child.WaitForScreen(prompt, 60000)) << prompt;
        ASSERT_TRUE(child.WaitForEchoOff(60000));
        child.Type(passphrase + "\r");
    }
}

TEST(WindowsProgram, RefusesWhatIvqaRefusesAsUsage)
{
    for (const UsageCase& c : BadInvocations())
        ExpectRefusedAsUsage(c, RunExe(c.args));
}

// One session of commands over the same inputs, run by each program in a
// folder of its own: every step ends with the status the table gives, on
// both systems.
TEST(WindowsProgram, CommandsEndWithTheStatusesOfIvqa)
{
    const struct {
        std::vector<std::string> args;
        const char* input;
        int status;
    } steps[] = {
        {{"create", "-o", "arc", "--target", "windows", "src"}, "pw\n", 0},
        {{"create", "-o", "arc", "--target", "windows", "src"}, "pw\n", 64}, // exists, no -f
        {{"create", "-o", "none", "src"}, "\n", 10},                        // no passphrase, no keyfile
        {{"create", "-o", "gone", "src/missing"}, "pw\n", 4},
        {{"info", "arc.exe"}, "", 0},
        {{"info", "src"}, "", 4},
        {{"test", "arc.exe"}, "pw\n", 0},
        {{"list", "arc.exe"}, "wrong\n", 7},
        {{"extract", "arc.exe", "--dest", "out"}, "pw\n", 0},
        {{"extract", "missing.exe", "--dest", "x"}, "pw\n", 4},
        {{"keygen", "-s", "64", "k.key"}, "", 0},
        {{"keygen", "k.key"}, "", 64},
        {{"passgen", "-l", "8", "-n", "3"}, "", 0},
        {{"rm", "--yes", "out/src/top.txt"}, "", 0},
        {{"wipe", "--yes", "-m", "fast", "out/src/top.txt"}, "", 4}, // removed already
        {{"wipe", "--yes", "-m", "fast", "out"}, "", 0},
    };
    for (const bool windows : {false, true}) {
        const TempDir dir;
        MakeInputTree(dir);
        for (const auto& step : steps) {
            const ProcessOutcome outcome = windows ? RunExe(step.args, step.input, dir.Path())
                                                   : RunIvqa(step.args, step.input, dir.Path());
            EXPECT_EQ(outcome.status, step.status)
                << (windows ? "ivqa.exe " : "ivqa ") << Shown(step.args) << "\n" << outcome.err;
        }
        EXPECT_EQ(fs::file_size(dir / "k.key"), 64u);
        EXPECT_FALSE(fs::exists(dir / "out"));
        // Nothing is left behind by the refused and failed runs.
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

TEST(WindowsProgram, ArchivesOpenWithTheLinuxIvqaByteForByte)
{
    const TempDir dir;
    const std::string src = MakeInputTree(dir);
    WriteFile(dir / "my.key", std::string(300, 'k'));
    WriteFile(dir / "help.txt", "Ask me for the passphrase.\n");
    const struct {
        std::vector<std::string> args;
        std::string archive;
    } cases[] = {
        {{"create", "-o", "w", "--target", "windows", "-c", "cast", "src"}, "w.exe"},
        {{"create", "-o", "l", "--target", "linux", "-c", "rc5", "-l", "9", "--keyfile", "my.key", "--help-text",
          "help.txt", "src/input", "src/top.txt"},
         "l.run"},
        {{"create", "-o", "s", "--target", "linux", "-c", "xchacha20", "src/input", "src/top.txt"}, "s.run"},
    };
    for (const auto& c : cases) {
        const ProcessOutcome created = RunExe(c.args, "pass\n", dir.Path());
        ASSERT_EQ(created.status, 0) << created.err;
        EXPECT_EQ(created.out, c.archive + "\n");
        std::vector<std::string> extract = {"extract", c.archive, "--dest", c.archive + ".out"};
        if (c.archive == "l.run") {
            extract.insert(extract.end(), {"--keyfile", "my.key"});
            const ProcessOutcome info = RunIvqa({"info", c.archive}, "", dir.Path());
            EXPECT_NE(info.out.find("Ask me for the passphrase."), std::string::npos) << info.out;
        }
        const ProcessOutcome extracted = RunIvqa(extract, "pass\n", dir.Path());
        ASSERT_EQ(extracted.status, 0) << extracted.err;
        if (c.archive == "w.exe") {
            ExpectSameTree(src, dir / "w.exe.out/src");
            // Names reach a pipe as UTF-8.
            const ProcessOutcome listed = RunExe({"list", "w.exe"}, "pass\n", dir.Path());
            EXPECT_EQ(listed.status, 0) << listed.err;
            EXPECT_NE(listed.out.find("src/input/Gr\xc3\xbc\xc3\x9f" "e \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.txt"),
                      std::string::npos)
                << listed.out;
        } else {
            ExpectSameTree(src + "/input", dir / (c.archive + ".out/input"));
            EXPECT_EQ(ReadFile(dir / (c.archive + ".out/top.txt")), ReadFile(src + "/top.txt"));
        }
    }
}

TEST(WindowsProgram, WipesReadOnlyFilesAlone)
{
    const TempDir dir;
    fs::create_directories(dir / "folder/inner");
    for (const char* name : {"bare.txt", "folder/inner/locked.txt"}) {
        WriteFile(dir / name, std::string(5000, 'x'));
        ::chmod((dir / name).c_str(), 0444);
    }
    WriteFile(dir / "kept.txt", "kept");
    const ProcessOutcome outcome = RunExe({"wipe", "--yes", "-m", "fast", "bare.txt", "folder"}, "", dir.Path());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_FALSE(fs::exists(dir / "bare.txt"));
    EXPECT_FALSE(fs::exists(dir / "folder"));
    EXPECT_EQ(ReadFile(dir / "kept.txt"), std::vector<std::uint8_t>({'k', 'e', 'p', 't'}));
}

// On Wine's drive Z: a Unix symbolic link is the link a Windows program
// meets; Wine opens its target even when asked for the link itself, so the
// link may have to stay, but what it leads to is never touched.
TEST(WindowsProgram, LinkTargetsSurviveAWipeOrRemovalOfTheirFolder)
{
    for (const char* command : {"wipe", "rm"}) {
        const TempDir dir;
        fs::create_directories(dir / "target/folder");
        fs::create_directories(dir / "doomed");
        WriteFile(dir / "target/file.txt", "file target");
        WriteFile(dir / "target/folder/inner.txt", "folder target");
        fs::create_symlink("../target/file.txt", dir / "doomed/file-link");
        fs::create_symlink("../target/folder", dir / "doomed/folder-link");
        std::vector<std::string> args = {command, "--yes", "doomed"};
        if (std::string(command) == "wipe")
            args.insert(args.end(), {"-m", "fast"});
        const ProcessOutcome outcome = RunExe(args, "", dir.Path());
        EXPECT_TRUE(outcome.status == 0 || outcome.status == 4) << command << " " << outcome.status << outcome.err;
        ASSERT_TRUE(fs::is_regular_file(dir / "target/file.txt")) << command;
        ASSERT_TRUE(fs::is_regular_file(dir / "target/folder/inner.txt")) << command;
        EXPECT_EQ(fs::file_size(dir / "target/file.txt"), 11u) << command;
        EXPECT_EQ(fs::file_size(dir / "target/folder/inner.txt"), 13u) << command;
        for (const char* link : {"doomed/file-link", "doomed/folder-link"}) {
            const auto kind = fs::symlink_status(dir / link).type();
            EXPECT_TRUE(kind == fs::file_type::not_found || kind == fs::file_type::symlink) << command << " " << link;
        }
    }
}

TEST(WindowsProgram, JunctionTargetSurvivesAWipeOfItsFolder)
{
    const TempDir dir;
    fs::create_directories(dir / "target");
    fs::create_directories(dir / "folder");
    WriteFile(dir / "target/precious.txt", "precious");
    const ProcessOutcome made = RunIvqa({"cmd", "/c", "mklink", "/J", "folder\\junction", "target"}, "", dir.Path(),
                                        Wine());
    // Wine (8.0) cannot make a junction; a Linux symbolic link is no
    // reparse point there either, but a plain folder, so nothing stands in.
    if (made.status != 0 || !fs::exists(fs::symlink_status(dir / "folder/junction")))
        GTEST_SKIP() << "this Wine cannot make a junction";
    const ProcessOutcome outcome = RunExe({"wipe", "--yes", "-m", "fast", "folder"}, "", dir.Path());
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "folder")));
    EXPECT_EQ(ReadFile(dir / "target/precious.txt"), std::vector<std::uint8_t>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
}

TEST(WindowsProgram, NonAsciiPassphraseTypedAtTheConsole)
{
    const TempDir dir;
    const std::string src = MakeInputTree(dir);
    const std::string passphrase = "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c-\xc3\xbc"; // Cyrillic, u-umlaut
    ChildProcess child(AtConsole({"create", "-o", "typed", "src"}, dir.Path()));
    ASSERT_NO_FATAL_FAILURE(TypeNewPassphrase(child, passphrase));
    const ProcessOutcome outcome = child.Finish();
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string screen = WithoutControlSequences(outcome.err);
    EXPECT_EQ(screen.find(passphrase), std::string::npos) << "the passphrase was echoed";
    EXPECT_EQ(outcome.out, "typed.run\n");
    // The progress bar is drawn on the console.
    EXPECT_NE(screen.find("two-blocks.bin"), std::string::npos) << screen;

    const ProcessOutcome extracted = RunIvqa({"extract", "typed.run", "--dest", "out"}, passphrase + "\n", dir.Path());
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    ExpectSameTree(src, dir / "out/src");
}

} // namespace

TEST(WindowsProgram, CtrlCEndsTheRunAndLeavesNoArchive)
{
    const TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src/big.bin", NoiseBytes(48u << 20, 3));
    ChildProcess child(AtConsole({"create", "-o", "big", "-l", "9", "src"}, dir.Path()));
    ASSERT_NO_FATAL_FAILURE(TypeNewPassphrase(child, "pw"));
    ASSERT_TRUE(child.WaitForScreen("big.bin", 60000));
    // What the terminal sends for Ctrl+C; Wine makes it the console's
    // CTRL_C_EVENT.
    child.Signal(SIGINT);
    const ProcessOutcome outcome = child.Finish();
    EXPECT_EQ(outcome.status, 130) << WithoutControlSequences(outcome.err);
    EXPECT_NE(WithoutControlSequences(outcome.err).find("interrupted"), std::string::npos);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>({"src"}));
}
