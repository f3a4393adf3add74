// ivqa create, extract, list, test and info, run as a user or a script
// runs them.

#include "cli_fixture.h"
#include "ivqa_process.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr char Secret[] = "correct horse\n";

ProcessOutcome Extract(const std::string& archive, const std::string& dest, const std::string& input = Secret)
{
    return RunIvqa({"extract", archive, "--dest", dest}, input);
}

struct CipherCase {
    const char* name;
    const char* level;
};

class EveryCipher : public ::testing::TestWithParam<CipherCase> {};

TEST_P(EveryCipher, CreateThenExtractRestoresTheTree)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = dir / "archive.run";
    const auto created = RunIvqa(
        CreateArgs(dir, archive, {"-c", GetParam().name, "-l", GetParam().level, source + "/input", source + "/top.txt"}),
        Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.out, archive + "\n");
    EXPECT_EQ(created.err, BrowserPageNote()) << "no progress bar and no chatter without a terminal";

    fs::create_directory(dir / "out");
    const auto extracted = Extract(archive, dir / "out");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "") << "standard output carries nothing but the result";
    ExpectSameTree(source, dir / "out");
}

INSTANTIATE_TEST_SUITE_P(Ciphers, EveryCipher,
                         ::testing::Values(CipherCase{"aes", "7"}, CipherCase{"cast", "9"}, CipherCase{"blowfish", "1"},
                                           CipherCase{"rc4", "0"}, CipherCase{"rc5", "5"}),
                         [](const auto& info) { return std::string(info.param.name); });

// One archive of input/ for the tests that read it.
std::string MakeArchive(const TempDir& dir, const std::string& source, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> rest = extra;
    rest.push_back(source + "/input");
    const std::string archive = dir / "archive.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, rest), Secret);
    EXPECT_EQ(created.status, 0) << created.err;
    return archive;
}

TEST(Extract, ReadsTheArchiveAsDataNeverRunningIt)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = MakeArchive(dir, source);
    // Nothing of the head could run any more.
    auto bytes = ReadFile(archive);
    std::fill_n(bytes.begin(), 4096, 0);
    WriteFile(dir / "data.bin", bytes);
    ::chmod((dir / "data.bin").c_str(), 0400);

    fs::create_directory(dir / "out");
    const auto extracted = Extract(dir / "data.bin", dir / "out");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    ExpectSameTree(source + "/input", dir / "out/input");
}

TEST(Create, ArchiveIsTheModuleFollowedByThePayloadAndRunsItself)
{
    if (!HaveRealModules())
        GTEST_SKIP() << "the modules are not built in this configuration";
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const std::string archive = MakeArchive(dir, source);

    const auto module = ReadFile(std::string(std::getenv("IVQA_BIN_DIR")) + "/GUI_en.iqm");
    const auto bytes = ReadFile(archive);
    ASSERT_GT(bytes.size(), module.size());
    EXPECT_TRUE(std::equal(module.begin(), module.end(), bytes.begin()));
    struct stat status {};
    ASSERT_EQ(::stat(archive.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u & ~mask);

    fs::create_directory(dir / "out");
    const auto outcome = RunArchiveConsole(archive, {"--dest", dir / "out"}, Secret);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    ExpectSameTree(source + "/input", dir / "out/input");
}

TEST(ListAndTest, ShowAndCheckEverythingWritingNothing)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = MakeArchive(dir, source);
    fs::create_directory(dir / "cwd");

    const auto listed = RunIvqa({"list", archive}, Secret, dir / "cwd");
    ASSERT_EQ(listed.status, 0) << listed.err;
    for (const char* line : {"input/\n", "input/nested/deeper/\n", "input/empty-dir/\n", " input/notes.txt\n",
                             " input/nested/deeper/deep.txt\n"})
        EXPECT_NE(listed.out.find(line), std::string::npos) << line << " in\n" << listed.out;
    EXPECT_NE(listed.out.find("     1052673 "), std::string::npos) << "the size of two-blocks.bin";

    const auto tested = RunIvqa({"test", archive}, Secret, dir / "cwd");
    ASSERT_EQ(tested.status, 0) << tested.err;
    EXPECT_EQ(tested.out, "");
    const auto verbose = RunIvqa({"test", "-v", archive}, Secret, dir / "cwd");
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.out.find("input/two-blocks.bin\n"), std::string::npos) << verbose.out;
    EXPECT_TRUE(ListTree(dir / "cwd").empty());
}

TEST(Extract, WrongPassphraseEndsWithSevenAndWritesNothing)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = MakeArchive(dir, source);
    fs::create_directory(dir / "out");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"extract", archive, "--dest", dir / "out"},
                                                std::vector<std::string>{"list", archive},
                                                std::vector<std::string>{"test", archive}}) {
        const auto outcome = RunIvqa(args, "correct horse!\n", dir / "out");
        EXPECT_EQ(outcome.status, 7) << args[0];
        EXPECT_NE(outcome.err.find("Wrong passphrase or keyfile!"), std::string::npos) << outcome.err;
    }
    EXPECT_TRUE(ListTree(dir / "out").empty());
}

TEST(Extract, RefusesWhatIsNoArchive)
{
    TempDir dir;
    WriteFile(dir / "text.txt", std::string(2000000, 'x'));
    for (const std::string& path : {dir / "text.txt", dir / "missing.run"}) {
        for (const char* command : {"extract", "list", "test", "info"}) {
            const auto outcome = RunIvqa({command, path}, Secret, dir.Path());
            EXPECT_EQ(outcome.status, 4) << command << " " << path;
            EXPECT_EQ(outcome.err.rfind("ivqa: Can not open archive! " + path + ": ", 0), 0u) << outcome.err;
        }
    }
}

// Files of the archive's folder whose names begin with `prefix`: the
// temporary file of a run in progress.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(prefix))
            names.push_back(entry.path());
    }
    return names;
}

// A failed run leaves whatever had the output name as it was: a file, a
// link and its target, or nothing; no temporary file stays behind.
TEST(Create, FailedRunLeavesTheOutputNameAsItWas)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = dir / "archive.run";
    const struct {
        const char* name;
        std::vector<std::string> rest;
        int status;
        std::string message;
    } failures[] = {
        {"missing input after a good one", {source + "/input", source + "/missing.txt"}, 4,
         "Can not add \"" + source + "/missing.txt\"! No such file or directory."},
        {"missing keyfile", {"--keyfile", source + "/missing.key", source + "/top.txt"}, 2,
         "Can not open keyfile! " + source + "/missing.key: No such file or directory"},
        {"missing module", {"--module", source + "/missing.iqm", source + "/top.txt"}, 5,
         "cannot read the module " + source + "/missing.iqm: No such file or directory"},
    };
    enum class Before { Nothing, File, LinkToFile };
    const std::string older = "an older file of that name";
    for (const Before before : {Before::Nothing, Before::File, Before::LinkToFile}) {
        for (const auto& c : failures) {
            SCOPED_TRACE(c.name);
            std::error_code error;
            fs::remove(archive, error);
            WriteFile(dir / "important.txt", older);
            if (before == Before::File)
                WriteFile(archive, older);
            if (before == Before::LinkToFile)
                fs::create_symlink(dir / "important.txt", archive);
            std::vector<std::string> args{"create", "-f", "-o", archive};
            if (c.rest.front() != "--module") {
                const auto module = ModuleArgs(dir);
                args.insert(args.end(), module.begin(), module.end());
            }
            args.insert(args.end(), c.rest.begin(), c.rest.end());
            const auto outcome = RunIvqa(args, Secret);
            EXPECT_EQ(outcome.status, c.status) << outcome.err;
            EXPECT_NE(outcome.err.find("ivqa: " + c.message + "\n"), std::string::npos) << outcome.err;
            EXPECT_EQ(fs::exists(archive), before != Before::Nothing);
            EXPECT_EQ(fs::is_symlink(archive), before == Before::LinkToFile);
            if (before != Before::Nothing) {
                EXPECT_EQ(ReadFile(archive), std::vector<std::uint8_t>(older.begin(), older.end()));
            }
            EXPECT_EQ(ReadFile(dir / "important.txt"), std::vector<std::uint8_t>(older.begin(), older.end()));
            EXPECT_EQ(FilesStartingWith(dir.Path(), ".archive.run"), std::vector<std::string>{});
        }
    }
}

// Without a terminal to ask at, an existing output (a dangling link among
// them) is replaced only with --force, and then as a name: a link's target
// is never written to.
TEST(Create, ReplacesAnExistingOutputOnlyWithForceAndNeverThroughALink)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string older = "keep me";
    const struct {
        const char* name;
        bool link;
        bool dangling;
        bool force;
    } cases[] = {
        {"file", false, false, false}, {"file, --force", false, false, true},
        {"link", true, false, false},  {"link, --force", true, false, true},
        {"dangling link", true, true, false}, {"dangling link, --force", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string archive = dir / "out.run";
        std::error_code error;
        fs::remove(archive, error);
        fs::remove(dir / "important.txt", error);
        if (!c.dangling)
            WriteFile(dir / "important.txt", older);
        if (c.link)
            fs::create_symlink(dir / "important.txt", archive);
        else
            WriteFile(archive, older);
        std::vector<std::string> rest{source + "/top.txt"};
        if (c.force)
            rest.insert(rest.begin(), "--force");
        const auto outcome = RunIvqa(CreateArgs(dir, archive, rest), Secret);
        if (!c.force) {
            EXPECT_EQ(outcome.status, 64) << outcome.err;
            EXPECT_NE(outcome.err.find(archive + " exists; give -f to replace it"), std::string::npos) << outcome.err;
            EXPECT_TRUE(fs::is_symlink(archive) || fs::exists(archive));
        } else {
            EXPECT_EQ(outcome.status, 0) << outcome.err;
            EXPECT_FALSE(fs::is_symlink(archive));
            EXPECT_EQ(RunIvqa({"test", archive}, Secret).status, 0);
        }
        if (!c.dangling) {
            EXPECT_EQ(ReadFile(dir / "important.txt"), std::vector<std::uint8_t>(older.begin(), older.end()));
        } else {
            EXPECT_FALSE(fs::exists(dir / "important.txt")) << "never created through the link";
        }
    }
}

TEST(Create, RefusesOutputsThatAreNoFileName)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    fs::create_directory(dir / "folder.run");
    const struct {
        std::string output;
        const char* message;
    } cases[] = {
        {"-", "the archive cannot go to standard output"},
        {dir / "some/", "-o names a folder"},
        {dir / "folder", "is a folder"},
    };
    for (const auto& c : cases) {
        const auto outcome = RunIvqa(CreateArgs(dir, c.output, {source + "/top.txt"}), Secret);
        EXPECT_EQ(outcome.status, 64) << c.output << ": " << outcome.err;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists("-.run"));
        EXPECT_FALSE(fs::exists(dir / "some/.run"));
        EXPECT_TRUE(fs::is_empty(dir / "folder.run"));
    }
}

TEST(Create, SkipUnreadableGoesOnWithoutTheEntry)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = dir / "archive.run";
    const auto created =
        RunIvqa(CreateArgs(dir, archive, {"--skip-unreadable", source + "/missing.txt", source + "/top.txt"}), Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_NE(created.err.find("Can not add \"" + source + "/missing.txt\"! No such file or directory. Skipped."), std::string::npos)
        << created.err;
    const auto listed = RunIvqa({"list", archive}, Secret);
    ASSERT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find(" top.txt\n"), std::string::npos);
    EXPECT_EQ(listed.out.find("missing"), std::string::npos);
}

// Stopped between two blocks, the library unwinds from a callback; stopped
// by a keyfile that never arrives, the run is inside the library where no
// callback comes. Either way the temporary file goes and an older archive
// of the name stays.
TEST(Create, InterruptDeletesThePartialArchive)
{
    TempDir dir;
    WriteFile(dir / "large.bin", NoiseBytes(48 * 1048576, 9));
    const std::uint64_t offset = IVQA_PAYLOAD_OFFSET_EN;
    const struct {
        const char* name;
        std::vector<std::string> rest;
        std::uint64_t startedAt; // archive size once the run is under way
        int signal;
    } cases[] = {
        {"between blocks", {dir / "large.bin"}, offset + 1048576, SIGTERM},
        // A keyfile that blocks its reader (a FIFO) is refused at once now, so
        // the interrupt from the terminal meets the run between blocks too.
        {"between blocks, from the terminal", {dir / "large.bin"}, offset + 1048576, SIGINT},
    };
    const std::string older = "an older archive";
    for (const auto& c : cases) {
        const std::string archive = dir / "archive.run";
        WriteFile(archive, older);
        ProcessRequest request;
        request.args = CreateArgs(dir, archive, c.rest);
        request.args.insert(request.args.begin() + 1, "--force");
        request.input = Secret;
        ChildProcess create(request);
        const auto size = [&] {
            const auto temporary = FilesStartingWith(dir.Path(), ".archive.run.");
            std::error_code error;
            const auto bytes = temporary.empty() ? 0 : fs::file_size(temporary.front(), error);
            return error ? 0 : bytes;
        };
        for (int i = 0; i < 6000 && size() < c.startedAt; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(size(), c.startedAt) << c.name;
        create.Signal(c.signal);
        const auto outcome = create.Finish();
        EXPECT_EQ(outcome.status, 130) << c.name << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "ivqa: interrupted\n") << c.name;
        EXPECT_EQ(ReadFile(archive), std::vector<std::uint8_t>(older.begin(), older.end())) << c.name;
        EXPECT_EQ(FilesStartingWith(dir.Path(), ".archive.run"), std::vector<std::string>{}) << c.name;
    }
}

// Stopped inside a file, extract removes the file it was writing and keeps
// the older one of that name; stopped at the passphrase, a --dest it was
// to make is never made.
TEST(Extract, InterruptRemovesTheUnfinishedFileAndKeepsTheOlderOne)
{
    TempDir dir;
    fs::create_directory(dir / "in");
    WriteFile(dir / "in/large.bin", NoiseBytes(48 * 1048576, 4));
    const std::string archive = dir / "large.run";
    ASSERT_EQ(RunIvqa(CreateArgs(dir, archive, {"-l", "0", dir / "in/large.bin"}), Secret).status, 0);
    const std::string dest = dir / "out";
    fs::create_directory(dest);
    WriteFile(dest + "/large.bin", "an older copy");

    ProcessRequest request;
    request.args = {"extract", archive, "--dest", dest, "--overwrite", "always"};
    request.input = Secret;
    ChildProcess extract(request);
    const auto written = [&] {
        for (const auto& entry : fs::directory_iterator(dest)) {
            std::error_code error;
            if (entry.path().filename().string().starts_with(".ivqa-part-") &&
                fs::file_size(entry.path(), error) >= 1048576 && !error)
                return true;
        }
        return false;
    };
    for (int i = 0; i < 6000 && !written(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(written());
    extract.Signal(SIGINT);
    const auto outcome = extract.Finish();
    EXPECT_EQ(outcome.status, 130) << outcome.err;
    EXPECT_EQ(outcome.err, "ivqa: Left incomplete and removed: large.bin\nivqa: interrupted\n");
    EXPECT_EQ(ListTree(dest), std::vector<std::string>{"large.bin"});
    EXPECT_EQ(ReadText(dest + "/large.bin"), "an older copy");

    ProcessRequest prompted;
    prompted.args = {"extract", archive, "--dest", dir / "new/deeper"};
    prompted.stdinOnTerminal = true;
    prompted.stderrOnTerminal = true;
    ChildProcess asking(prompted);
    ASSERT_TRUE(asking.WaitForScreen("Passphrase: "));
    asking.Signal(SIGINT);
    asking.Finish();
    EXPECT_FALSE(fs::exists(dir / "new"));
}

TEST(Create, KeyInputIsRequiredAndMustBeUsable)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = dir / "archive.run";
    const struct {
        const char* name;
        std::string input;
        const char* message;
    } cases[] = {
        {"no input", "", "ivqa: Enter passphrase or select keyfile!\n"},
        {"empty line", "\nmore\n", "ivqa: Enter passphrase or select keyfile!\n"},
        {"too long", std::string(256, 'p') + "\n", "ivqa: the passphrase is longer than 255 characters"},
        {"not UTF-8", "caf\xE9\n", "ivqa: the passphrase is not valid UTF-8\n"},
    };
    for (const auto& c : cases) {
        const auto outcome = RunIvqa(CreateArgs(dir, archive, {source + "/top.txt"}), c.input);
        EXPECT_EQ(outcome.status, 10) << c.name;
        EXPECT_EQ(outcome.err.rfind(c.message, 0), 0u) << c.name << ": " << outcome.err;
        EXPECT_FALSE(fs::exists(archive)) << c.name;
    }
    // 255 characters are what the module hashes, so they are accepted.
    const std::string longest(255, 'p');
    ASSERT_EQ(RunIvqa(CreateArgs(dir, archive, {source + "/top.txt"}), longest + "\n").status, 0);
    EXPECT_EQ(RunIvqa({"test", archive}, longest + "\n").status, 0);
}

TEST(Create, KeyfileAloneIsEnoughAndNeededToExtract)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    ASSERT_EQ(RunIvqa({"keygen", dir / "my.key"}).status, 0);
    const std::string archive = dir / "archive.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, {"--keyfile", dir / "my.key", source + "/top.txt"}), "");
    ASSERT_EQ(created.status, 0) << created.err;

    fs::create_directory(dir / "out");
    EXPECT_EQ(RunIvqa({"extract", archive, "--dest", dir / "out"}, "\n").status, 10);
    const auto extracted =
        RunIvqa({"extract", archive, "--dest", dir / "out", "--keyfile", "file://" + dir / "my.key"}, "\n");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(ReadText(dir / "out/top.txt"), "top\n");
}

TEST(Create, OutputNameGetsTheExtensionAndDotOperandsTheirRealName)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto created = RunIvqa(CreateArgs(dir, dir / "backup", {"."}), Secret, source + "/input/nested");
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.out, dir / "backup.run\n");
    const auto listed = RunIvqa({"list", dir / "backup.run"}, Secret);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.rfind("nested/\n", 0), 0u) << listed.out;
    EXPECT_NE(listed.out.find(" nested/deeper/deep.txt\n"), std::string::npos) << listed.out;
}

TEST(Info, ShowsModuleSystemCipherPayloadAndHelpWithoutAPassphrase)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    WriteFile(dir / "help.txt", "Call Bob\nfor the passphrase.\n");
    const struct {
        const char* key;
        const char* target;
        const char* module;
        const char* system;
    } cases[] = {
        {"en", "linux", "English (GUI_en.iqm)", "Linux"},
        {"ru", "linux", "Russian (GUI_ru.iqm)", "Linux"},
        {"en", "windows", "English (GUI_en.exe.iqm)", "Windows"},
        {"ru", "windows", "Russian (GUI_ru.exe.iqm)", "Windows"},
    };
    for (const auto& c : cases) {
        const std::string archive = dir / (std::string("archive-") + c.key + "-" + c.target);
        const auto created = RunIvqa(CreateArgs(dir, archive, {"-c", "rc5", "--help-text", dir / "help.txt", source + "/top.txt"},
                                                c.key, c.target),
                                     Secret);
        ASSERT_EQ(created.status, 0) << created.err;
        const std::string written = created.out.substr(0, created.out.size() - 1);
        const auto info = RunIvqa({"info", written}, "");
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.out, std::string("Module:       ") + c.module +
                                "\n"
                                "System:       " +
                                c.system +
                                "\n"
                                "Cipher:       RC5\n"
                                "Payload size: " +
                                std::to_string(fs::file_size(written) - PayloadOffsetOf(c.key, c.target)) +
                                " bytes\n"
                                "Help text:    31 characters\n"
                                "\n"
                                "Call Bob\n"
                                "for the passphrase.\n")
            << c.key << " " << c.target;
    }
}

// The module of a Windows archive cannot run here, but its payload is the
// same as behind a Linux module: ivqa reads it where the Windows build ends
// (the real one where it is built; the Wine tests run that one).
TEST(Create, WindowsArchiveIsReadOnLinuxByteForByte)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto created =
        RunIvqa(CreateArgs(dir, dir / "backup", {source + "/input", source + "/top.txt"}, "en", "windows"), Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    const std::string archive = dir / "backup.exe";
    EXPECT_EQ(created.out, archive + "\n");
    const auto module = ReadFile(ModuleFileOf(dir, "en", "windows"));
    const auto bytes = ReadFile(archive);
    ASSERT_GT(bytes.size(), module.size());
    EXPECT_TRUE(std::equal(module.begin(), module.end(), bytes.begin()));

    fs::create_directory(dir / "out");
    const auto extracted = Extract(archive, dir / "out");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    ExpectSameTree(source, dir / "out");

    const auto listed = RunIvqa({"list", archive}, Secret);
    ASSERT_EQ(listed.status, 0) << listed.err;
    for (const char* line : {"input/\n", " input/notes.txt\n", " input/nested/deeper/deep.txt\n", " top.txt\n"})
        EXPECT_NE(listed.out.find(line), std::string::npos) << line << " in\n" << listed.out;
    const auto tested = RunIvqa({"test", archive}, Secret);
    EXPECT_EQ(tested.status, 0) << tested.err;
}

// A copy of the program in a folder of its own, with the module files that a
// test puts beside it: `en` and `ru` are looked for there.
std::string CopyProgramTo(const std::string& folder)
{
    fs::create_directories(folder);
    const std::string bin = std::getenv("IVQA_BIN_DIR");
    for (const char* name : {"ivqa", "libivqa.so"})
        fs::copy_file(bin + "/" + name, folder + "/" + name);
    return folder + "/ivqa";
}

ProcessOutcome RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    return RunIvqa(args, Secret, "", program);
}

TEST(Create, TargetChoosesTheModuleOfThatSystemBesideTheProgram)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string program = CopyProgramTo(dir / "prog");
    for (const char* target : {"linux", "windows"}) {
        for (const char* key : {"en", "ru"})
            fs::copy_file(StandInModule(dir, key, target),
                          dir / ("prog/GUI_" + std::string(key) + (target == std::string("windows") ? ".exe.iqm" : ".iqm")));
    }
    const struct {
        std::vector<std::string> options;
        const char* module;
        const char* output;
    } cases[] = {
        {{}, "GUI_en.iqm", "a.run"},
        {{"--target", "linux", "--module", "ru"}, "GUI_ru.iqm", "a.run"},
        {{"--target", "windows"}, "GUI_en.exe.iqm", "a.exe"},
        {{"--module", "ru", "--target=windows"}, "GUI_ru.exe.iqm", "a.exe"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"create", "-o", dir / "a"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(source + "/top.txt");
        const auto created = RunProgram(program, args);
        ASSERT_EQ(created.status, 0) << c.module << ": " << created.err;
        const std::string archive = dir / c.output;
        EXPECT_EQ(created.out, archive + "\n");
        const auto module = ReadFile(dir / ("prog/" + std::string(c.module)));
        const auto bytes = ReadFile(archive);
        ASSERT_GT(bytes.size(), module.size()) << c.module;
        EXPECT_TRUE(std::equal(module.begin(), module.end(), bytes.begin())) << c.module;
        EXPECT_NE(RunIvqa({"info", archive}).out.find(std::string("(") + c.module + ")\n"), std::string::npos);
        fs::remove(archive);
    }

    // No Windows module of the language: the same failure as a missing Linux one.
    fs::remove(dir / "prog/GUI_ru.exe.iqm");
    const auto missing = RunProgram(program, {"create", "-o", dir / "a", "--module", "ru", "--target", "windows",
                                              source + "/top.txt"});
    EXPECT_EQ(missing.status, 5) << missing.err;
    EXPECT_EQ(missing.err,
              "ivqa: cannot read the module " + dir / "prog/GUI_ru.exe.iqm" + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir / "a.exe"));
}

TEST(Create, RefusesABadTargetAndAModuleOfTheOtherSystem)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string linuxModule = StandInModule(dir, "en", "linux");
    const std::string windowsModule = StandInModule(dir, "en", "windows");
    const struct {
        std::vector<std::string> options;
        const char* message;
    } cases[] = {
        {{"--target", "macos", "--module", linuxModule}, "ivqa: --target takes linux or windows, not \"macos\"\n"
                                                         "Try 'ivqa create --help'.\n"},
        {{"--target", "win", "--module", windowsModule}, "ivqa: --target takes linux or windows, not \"win\"\n"
                                                         "Try 'ivqa create --help'.\n"},
        {{"--target=", "--module", linuxModule}, "ivqa: --target takes linux or windows, not \"\"\n"
                                                 "Try 'ivqa create --help'.\n"},
        {{"--target", "windows", "--module", linuxModule}, "is not a Windows module of this program\n"
                                                           "Try 'ivqa create --help'.\n"},
        {{"--module", windowsModule}, "is not a Linux module of this program\nTry 'ivqa create --help'.\n"},
        {{"--module", "/bin/ls"}, "is not a Linux module of this program\nTry 'ivqa create --help'.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"create", "-o", dir / "a"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(source + "/top.txt");
        const auto outcome = RunIvqa(args, Secret);
        EXPECT_EQ(outcome.status, 64) << c.options[1] << ": " << outcome.err;
        EXPECT_TRUE(outcome.err.ends_with(c.message)) << outcome.err;
        EXPECT_EQ(outcome.out, "");
        EXPECT_FALSE(fs::exists(dir / "a.run") || fs::exists(dir / "a.exe")) << outcome.err;
    }
}

TEST(Extract, SpeaksTheLanguageOfTheArchivesModule)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const std::string archive = dir / "archive.run";
    ASSERT_EQ(RunIvqa(CreateArgs(dir, archive, {source + "/top.txt"}, "ru"), Secret).status, 0);
    fs::create_directory(dir / "out");
    const auto extracted = Extract(archive, dir / "out");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "");
    EXPECT_EQ(ReadText(dir / "out/top.txt"), "top\n");
}

TEST(Create, LongHelpTextIsCutWithAWarning)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    std::string help;
    for (int i = 0; i < 300; ++i)
        help += "line " + std::to_string(i) + "\n";
    WriteFile(dir / "help.txt", help);
    const std::string archive = dir / "archive.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, {"--help-text", dir / "help.txt", source + "/top.txt"}), Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.err, "ivqa: warning: the help text is longer than 1024 characters and was cut to that length\n" +
                               BrowserPageNote());
    EXPECT_NE(RunIvqa({"info", archive}).out.find("Help text:    1024 characters\n"), std::string::npos);
    const auto quiet = RunIvqa(
        CreateArgs(dir, archive, {"-q", "-f", "--help-text", dir / "help.txt", source + "/top.txt"}), Secret);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "") << "-q leaves errors alone";

    WriteFile(dir / "latin1.txt", "caf\xE9\n");
    const auto refused = RunIvqa(CreateArgs(dir, archive, {"--help-text", dir / "latin1.txt", source + "/top.txt"}), Secret);
    EXPECT_EQ(refused.status, 66);
    EXPECT_NE(refused.err.find("is not valid UTF-8"), std::string::npos);
}

} // namespace
