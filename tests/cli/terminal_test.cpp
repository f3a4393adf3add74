// ivqa on a terminal: the progress bar, the passphrase typed twice without
// echo, and the questions.

#include "cli_fixture.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(Terminal, ProgressBarShowsNameBytesRateAndPercent)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    ProcessRequest request;
    request.args = CreateArgs(dir, dir / "archive.run", {source + "/input/two-blocks.bin"});
    request.input = "pass\n";
    request.stderrOnTerminal = true;
    ChildProcess create(request);
    const auto outcome = create.Finish();
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find("\rtwo-blocks.bin "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("2.0 MiB"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("MiB/s  100%"), std::string::npos) << outcome.err;
    // The line is cleared at the end, and never wider than the terminal;
    // only the note on the browser page follows (the terminal ends its
    // line with CR LF).
    std::string bar = outcome.err;
    if (const std::string note = BrowserPageNote(); !note.empty()) {
        const std::string shown = note.substr(0, note.size() - 1) + "\r\n";
        ASSERT_TRUE(bar.ends_with(shown)) << bar;
        bar.resize(bar.size() - shown.size());
    }
    EXPECT_EQ(bar.substr(bar.size() - 4), "\r\033[K");
    EXPECT_EQ(outcome.out, dir / "archive.run\n");

    request.args = {"extract", dir / "archive.run", "--dest", dir / "restored"};
    ChildProcess extract(request);
    const auto extracted = extract.Finish();
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_NE(extracted.err.find("\rtwo-blocks.bin "), std::string::npos) << extracted.err;
    // The bytes restored, not whole blocks: 1 MiB and 4,097 bytes.
    EXPECT_NE(extracted.err.find("1.0 MiB"), std::string::npos) << extracted.err;
    // Spaced, so that a rate such as "12.0 MiB/s" is not taken for it.
    EXPECT_EQ(extracted.err.find(" 2.0 MiB "), std::string::npos) << extracted.err;
    EXPECT_NE(extracted.err.find("MiB/s  100%"), std::string::npos) << extracted.err;
    EXPECT_EQ(extracted.out, "");

    request.args = {"wipe", "--yes", "-m", "fast", "-n", "2", source + "/input/two-blocks.bin"};
    ChildProcess wipe(request);
    const auto wiped = wipe.Finish();
    ASSERT_EQ(wiped.status, 0) << wiped.err;
    EXPECT_NE(wiped.err.find("\rtwo-blocks.bin "), std::string::npos) << wiped.err;
    EXPECT_NE(wiped.err.find("3.0 MiB"), std::string::npos) << "3 buffers a pass, 2 passes: " << wiped.err;
}

ChildProcess* TypePassphrase(ChildProcess& child, const std::string& prompt, const std::string& text)
{
    EXPECT_TRUE(child.WaitForScreen(prompt));
    EXPECT_TRUE(child.WaitForEchoOff());
    child.Type(text + "\n");
    return &child;
}

TEST(Terminal, PassphraseIsTypedTwiceWithoutEcho)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    ProcessRequest request;
    request.args = CreateArgs(dir, dir / "archive.run", {source + "/top.txt"});
    request.stdinOnTerminal = true;
    request.stderrOnTerminal = true;
    ChildProcess create(request);
    TypePassphrase(create, "Passphrase: ", "typed secret");
    TypePassphrase(create, "Confirm passphrase: ", "typed secret");
    const auto outcome = create.Finish();
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err.find("secret"), std::string::npos) << outcome.err;
    EXPECT_EQ(RunIvqa({"test", dir / "archive.run"}, "typed secret\n").status, 0);
}

TEST(Terminal, DifferentPassphrasesCreateNothing)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    ProcessRequest request;
    request.args = CreateArgs(dir, dir / "archive.run", {source + "/top.txt"});
    request.stdinOnTerminal = true;
    request.stderrOnTerminal = true;
    ChildProcess create(request);
    TypePassphrase(create, "Passphrase: ", "typed secret");
    TypePassphrase(create, "Confirm passphrase: ", "typed secreT");
    const auto outcome = create.Finish();
    EXPECT_EQ(outcome.status, 10);
    EXPECT_NE(outcome.err.find("ivqa: Passphrases do not match!"), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(dir / "archive.run"));
}

TEST(Terminal, UnreadableEntryIsSkippedOnTheAnswer)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const struct {
        const char* answer;
        int status;
    } cases[] = {{"\n", 4}, {"y\n", 0}, {"n\n", 4}};
    // Enter alone keeps the run from going on without the entry. A missing
    // operand is asked about before the passphrase; one inside a folder
    // only when the walk meets it.
    for (const bool nested : {false, true}) {
        for (const auto& c : cases) {
            const std::string archive = dir / ("archive-" + std::to_string(nested) + std::to_string(&c - cases) + ".run");
            const std::string missing = source + (nested ? "/input/gone.txt" : "/missing.txt");
            std::error_code error;
            fs::remove(source + "/input/gone.txt", error);
            if (nested)
                fs::create_symlink(dir / "nowhere", missing);
            ProcessRequest request;
            request.args = CreateArgs(dir, archive, {nested ? source + "/input" : missing, source + "/top.txt"});
            request.stdinOnTerminal = true;
            request.stderrOnTerminal = true;
            ChildProcess create(request);
            const std::string question =
                "Can not add \"" + missing + "\"! No such file or directory. Do you want to skip it? [y/N] ";
            if (!nested) {
                EXPECT_TRUE(create.WaitForScreen(question));
                create.Type(c.answer);
            }
            if (nested || c.status == 0) {
                TypePassphrase(create, "Passphrase: ", "pass");
                TypePassphrase(create, "Confirm passphrase: ", "pass");
            }
            if (nested) {
                EXPECT_TRUE(create.WaitForScreen(question));
                create.Type(c.answer);
            }
            const auto outcome = create.Finish();
            EXPECT_EQ(outcome.status, c.status) << c.answer << outcome.err;
            EXPECT_EQ(fs::exists(archive), c.status == 0);
        }
    }
    std::error_code error;
    fs::remove(source + "/input/gone.txt", error);
}

// The question names the entry's path inside the archive; "all" and "none"
// answer it for every later entry too.
TEST(Terminal, OverwriteQuestionNamesThePathAndTakesAllAndNone)
{
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    WriteFile(dir / "in/sub/a.txt", "new a");
    WriteFile(dir / "in/b.txt", "new b");
    WriteFile(dir / "in/c.txt", "new c");
    const std::string archive = dir / "a.run";
    ASSERT_EQ(RunIvqa(CreateArgs(dir, archive, {dir / "in"}), "pass\n").status, 0);
    const struct {
        const char* answer;
        const char* expected;
    } cases[] = {{"all\n", "new"}, {"NONE\n", "old"}};
    for (const auto& c : cases) {
        const std::string dest = dir / ("out-" + std::string(c.expected));
        for (const char* file : {"in/sub/a.txt", "in/b.txt", "in/c.txt"}) {
            fs::create_directories(fs::path(dest + "/" + file).parent_path());
            WriteFile(dest + "/" + file, "old");
        }
        ProcessRequest request;
        request.args = {"extract", archive, "--dest", dest};
        request.stdinOnTerminal = true;
        request.stderrOnTerminal = true;
        ChildProcess extract(request);
        TypePassphrase(extract, "Passphrase: ", "pass");
        // The walk's order decides which entry comes first.
        ASSERT_TRUE(extract.WaitForScreen(" [y/N/all/none] "));
        extract.Type(c.answer);
        const auto outcome = extract.Finish();
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        const std::size_t question = outcome.err.find("\" already exists!");
        ASSERT_NE(question, std::string::npos) << outcome.err;
        const std::string asked = outcome.err.substr(outcome.err.rfind('"', question - 1) + 1,
                                                     question - outcome.err.rfind('"', question - 1) - 1);
        EXPECT_TRUE(asked == "in/sub/a.txt" || asked == "in/b.txt" || asked == "in/c.txt") << asked;
        EXPECT_EQ(outcome.err.find("already exists!", question + 3), std::string::npos) << "asked once";
        for (const char* file : {"in/sub/a.txt", "in/b.txt", "in/c.txt"}) {
            const std::string text = ReadText(dest + "/" + file);
            EXPECT_EQ(text.substr(0, 3), c.expected) << file << " after " << c.answer;
        }
    }
}

// An existing archive or keyfile is replaced only on a yes at the terminal.
TEST(Terminal, ReplacingAnExistingFileIsAskedFirst)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const struct {
        const char* command;
        const char* answer;
        bool replaced;
    } cases[] = {{"create", "\n", false}, {"create", "y\n", true}, {"keygen", "\n", false}, {"keygen", "y\n", true}};
    for (const auto& c : cases) {
        const bool create = std::string(c.command) == "create";
        const std::string target = dir / (create ? "archive.run" : "my.key");
        WriteFile(target, "the older file");
        ProcessRequest request;
        request.args = create ? CreateArgs(dir, target, {source + "/top.txt"})
                              : std::vector<std::string>{"keygen", target};
        request.stdinOnTerminal = true;
        request.stderrOnTerminal = true;
        ChildProcess run(request);
        EXPECT_TRUE(run.WaitForScreen(target + " exists. Replace it? [y/N] ")) << c.command;
        run.Type(c.answer);
        if (create && c.replaced) {
            TypePassphrase(run, "Passphrase: ", "pass");
            TypePassphrase(run, "Confirm passphrase: ", "pass");
        }
        const auto outcome = run.Finish();
        EXPECT_EQ(outcome.status, 0) << c.command << outcome.err;
        const std::string older = "the older file";
        EXPECT_EQ(ReadFile(target) == std::vector<std::uint8_t>(older.begin(), older.end()), !c.replaced)
            << c.command << " " << c.answer;
    }
}

TEST(Terminal, WipeAsksFirst)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const struct {
        const char* command;
        const char* question;
        const char* answer;
        bool removed;
    } cases[] = {
        {"wipe", "Do you realy want to wipe files? [y/N] ", "\n", false},
        {"wipe", "Do you realy want to wipe files? [y/N] ", "n\n", false},
        {"rm", "Do you really want to delete files? [y/N] ", "n\n", false},
        {"wipe", "Do you realy want to wipe files? [y/N] ", "y\n", true},
    };
    for (const auto& c : cases) {
        ProcessRequest request;
        request.args = {c.command, source + "/top.txt"};
        request.stdinOnTerminal = true;
        request.stderrOnTerminal = true;
        ChildProcess wipe(request);
        EXPECT_TRUE(wipe.WaitForScreen(c.question)) << c.command;
        wipe.Type(c.answer);
        const auto outcome = wipe.Finish();
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(fs::exists(source + "/top.txt"), !c.removed) << c.command << " " << c.answer;
    }
}

} // namespace
