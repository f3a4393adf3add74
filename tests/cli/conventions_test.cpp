// ivqa as scripts and pipelines use it: messages naming the path and the
// reason, clean standard output, paths checked before the passphrase, and
// the README's command list matching each command's --help.

#include "cli_fixture.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr char Secret[] = "correct horse\n";

std::string ArchiveOf(const TempDir& dir, const std::vector<std::string>& inputs)
{
    const std::string archive = dir / "a.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, inputs), Secret);
    EXPECT_EQ(created.status, 0) << created.err;
    return archive;
}

void CopyHead(const std::string& from, const std::string& to, std::uintmax_t length)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::resize_file(to, length);
}

TEST(Conventions, EveryFailureNamesItsPathAndReasonOnOneLine)
{
    TempDir dir;
    WriteFile(dir / "text.txt", std::string(2000000, 'x'));
    fs::create_directories(dir / "src/lib/vendor");
    WriteFile(dir / "src/lib/keep.js", "keep");
    fs::create_symlink(dir / "gone", dir / "src/lib/vendor/underscore.js");
    fs::create_directories(dir / "one");
    WriteFile(dir / "one/two.txt", "two");
    const std::string archive = ArchiveOf(dir, {dir / "one"});
    const std::uintmax_t offset = PayloadOffsetOf("en");
    CopyHead(archive, dir / "cut-header.run", offset + 2 + 20);
    CopyHead(archive, dir / "cut-body.run", fs::file_size(archive) - 3);

    const struct {
        std::vector<std::string> args;
        int status;
        std::string line;
    } cases[] = {
        {{"extract", dir / "missing.run"}, 4, "Can not open archive! " + dir / "missing.run" + ": No such file or directory"},
        {{"list", dir / "text.txt"}, 4,
         "Can not open archive! " + dir / "text.txt" + ": no archive follows any known module in this file"},
        {{"test", "/dev/null"}, 4, "Can not open archive! /dev/null: not a regular file"},
        {{"info", dir.Path()}, 4, "Can not open archive! " + dir.Path() + ": Is a directory"},
        {{"info", dir / "cut-header.run"}, 4, "Can not open archive! " + dir / "cut-header.run" + ": the archive is cut short"},
        {{"test", dir / "cut-header.run"}, 4, "Can not open archive! " + dir / "cut-header.run" + ": the archive is cut short"},
        {{"test", dir / "cut-body.run"}, 4, "Can not open archive! " + dir / "cut-body.run" + ": the archive is cut short"},
        {{"extract", archive, "--dest", dir / "text.txt/sub"}, 6,
         "Can not create or open output directory! " + dir / "text.txt/sub" + ": Not a directory"},
        {{"list", archive, "--keyfile", dir / "no.key"}, 3, "Can not read keyfile! " + dir / "no.key" + ": No such file or directory"},
        {CreateArgs(dir, dir / "no/such/out.run", {dir / "one"}), 5,
         "Can not create archive file! " + dir / "no/such/out.run" + ": No such file or directory"},
        {CreateArgs(dir, dir / "out.run", {dir / "src"}), 4,
         "Can not add \"" + dir / "src/lib/vendor/underscore.js" + "\"! No such file or directory."},
        {{"rm", "--yes", dir / "absent"}, 4, "Can not remove \"" + dir / "absent" + "\"! No such file or directory."},
    };
    for (const auto& c : cases) {
        const auto outcome = RunIvqa(c.args, Secret, dir.Path());
        EXPECT_EQ(outcome.status, c.status) << c.line << "\n" << outcome.err;
        EXPECT_EQ(outcome.out, "") << c.line;
        const std::string first = outcome.err.substr(0, outcome.err.find('\n') + 1);
        EXPECT_EQ(first, "ivqa: " + c.line + "\n") << outcome.err;
        // A summary may follow a removal, nothing else.
        if (c.args.front() != "rm") {
            EXPECT_EQ(outcome.err, first);
        }
    }
    EXPECT_FALSE(fs::exists(dir / "out.run"));
}

TEST(Conventions, StandardOutputCarriesOnlyTheResult)
{
    TempDir dir;
    // One entry per folder: a listing follows the folder's own order.
    fs::create_directories(dir / "in/sub");
    WriteFile(dir / "a.txt", "alpha");
    WriteFile(dir / "in/sub/b.bin", std::string(1500, 'b'));
    for (const char* file : {"a.txt", "in/sub/b.bin"})
        fs::last_write_time(dir / file, fs::file_time_type::clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1700000000}}));
    const std::string archive = ArchiveOf(dir, {dir / "in", dir / "a.txt"});

    const auto listed = RunIvqa({"list", archive}, Secret);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "in/\n"
                          "in/sub/\n"
                          "        1500 2023-11-14T22:13:20Z in/sub/b.bin\n"
                          "           5 2023-11-14T22:13:20Z a.txt\n");
    EXPECT_EQ(listed.err, "");

    const auto extracted = RunIvqa({"extract", archive, "--dest", dir / "new/deeper"}, Secret);
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "");
    EXPECT_EQ(extracted.err, "ivqa: created folder " + dir / "new/deeper" + "\n");
    EXPECT_EQ(ReadText(dir / "new/deeper/in/sub/b.bin"), std::string(1500, 'b'));

    const auto quiet = RunIvqa({"extract", "-q", archive, "--dest", dir / "other"}, Secret);
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out + quiet.err, "");

    const auto verbose = RunIvqa({"extract", "-v", archive, "--dest", dir / "again", "--overwrite", "ALWAYS"}, Secret);
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(verbose.out, "in/\nin/sub/\nin/sub/b.bin\na.txt\n");
}

TEST(Conventions, NamesHelpAndCaseAsUsersType)
{
    const auto help = RunIvqa({"help", "create"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, RunIvqa({"create", "--help"}).out);
    EXPECT_EQ(help.out.rfind("usage: ivqa create ", 0), 0u) << help.out;
    EXPECT_EQ(RunIvqa({"help", "frobnicate"}).status, 64);

    TempDir dir;
    WriteFile(dir / "in.txt", "x");
    const struct {
        const char* typed;
        const char* shown;
    } ciphers[] = {{"AES", "AES-256"}, {"Rc5", "RC5"}, {"BlowFish", "Blowfish"}};
    for (const auto& c : ciphers) {
        const auto created = RunIvqa(
            CreateArgs(dir, dir / "c.run", {"-f", "-c", c.typed, "--target", "LINUX", dir / "in.txt"}), Secret);
        EXPECT_EQ(created.status, 0) << c.typed << created.err;
        EXPECT_NE(RunIvqa({"info", dir / "c.run"}).out.find(std::string("Cipher:       ") + c.shown + "\n"),
                  std::string::npos)
            << c.typed;
    }
    WriteFile(dir / "w.txt", "x");
    EXPECT_EQ(RunIvqa({"wipe", "--yes", "-m", "FAST", "-n", "1", dir / "w.txt"}).status, 0);
    EXPECT_FALSE(fs::exists(dir / "w.txt"));
}

TEST(Conventions, OverLongPassphrasesAreRefusedEverywhere)
{
    TempDir dir;
    WriteFile(dir / "in.txt", "x");
    const std::string archive = ArchiveOf(dir, {dir / "in.txt"});
    const std::string longer = std::string(256, 'p') + "\n";
    for (const std::vector<std::string>& args :
         {CreateArgs(dir, dir / "b.run", {dir / "in.txt"}), std::vector<std::string>{"list", archive},
          std::vector<std::string>{"extract", archive, "--dest", dir / "out"}}) {
        const auto outcome = RunIvqa(args, longer);
        EXPECT_EQ(outcome.status, 10) << args.front() << outcome.err;
        EXPECT_NE(outcome.err.find("longer than 255 characters"), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(fs::exists(dir / "b.run"));
    EXPECT_FALSE(fs::exists(dir / "out")) << "a folder made for a refused run is taken back";
    EXPECT_EQ(RunIvqa({"list", archive}, std::string(255, 'p') + "\n").status, 7) << "255 are still read";
}

TEST(Conventions, ABadOutputFolderIsFoundBeforeThePrompt)
{
    TempDir dir;
    WriteFile(dir / "in.txt", "x");
    ProcessRequest request;
    request.args = CreateArgs(dir, dir / "missing/out.run", {dir / "in.txt"});
    request.stdinOnTerminal = true;
    request.stderrOnTerminal = true;
    ChildProcess create(request);
    const auto outcome = create.Finish();
    EXPECT_EQ(outcome.status, 5) << outcome.err;
    EXPECT_NE(outcome.err.find("Can not create archive file! " + dir / "missing/out.run"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find("Passphrase"), std::string::npos) << outcome.err;
}

// Each command the README's list shows exists, and every option it uses
// there is described by that command's --help.
TEST(Conventions, ReadmeCommandListMatchesTheHelp)
{
    std::ifstream readme(IVQA_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme) << "README.md";
    std::set<std::string> listed;
    std::string line;
    while (std::getline(readme, line)) {
        if (!line.starts_with("    ivqa "))
            continue;
        std::istringstream words(line.substr(9, line.find('#') - 9));
        std::string command;
        words >> command;
        if (command == "help" || command.starts_with("-")) {
            std::vector<std::string> args{command};
            for (std::string word; words >> word;)
                args.push_back(word);
            EXPECT_EQ(RunIvqa(args).status, 0) << line;
            continue;
        }
        listed.insert(command);
        const auto help = RunIvqa({command, "--help"});
        ASSERT_EQ(help.status, 0) << line;
        for (std::string word; words >> word;) {
            if (word.starts_with("-")) {
                EXPECT_NE(help.out.find(word.substr(0, word.find('='))), std::string::npos) << word << " in " << line;
            }
        }
    }
    const auto general = RunIvqa({"--help"});
    std::istringstream commands(general.out.substr(general.out.find("Commands:\n") + 10));
    while (std::getline(commands, line) && line.starts_with("  "))
        EXPECT_TRUE(listed.contains(line.substr(2, line.find(' ', 2) - 2))) << line;
}

} // namespace
