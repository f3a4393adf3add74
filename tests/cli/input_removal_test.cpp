// ivqa create --delete-inputs / --wipe-inputs: the archive is read back
// first, and only what it holds unchanged is removed; an output among the
// inputs is refused before anything is written.

#include "cli_fixture.h"
#include "ivqa_process.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string Secret = "secret\n";

// in/ with a file, a nested file and an entry the writer must skip.
struct RemovalTree {
    explicit RemovalTree(const TempDir& dir) : root(dir / "in")
    {
        fs::create_directories(root + "/nested");
        fs::create_directories(root + "/closed");
        WriteFile(root + "/a.txt", "a");
        WriteFile(root + "/nested/b.txt", "bb");
        WriteFile(root + "/closed/secret.txt", "s");
        ::chmod((root + "/closed").c_str(), 0700);
        WriteFile(dir / "top.txt", "top");
    }
    std::string root;
};

// Run as an unprivileged user (root reads every file): the folder closed/
// cannot be read, so the run skips it.
ProcessOutcome RunAsNobody(std::vector<std::string> args, const std::string& input)
{
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", IvqaProgram()});
    return RunIvqa(args, input, "", "/usr/bin/setpriv");
}

TEST(CreateRemovingInputs, RemovesWhatTheArchiveHoldsAndKeepsWhatWasSkipped)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the program as another user";
    for (const std::vector<std::string>& action :
         {std::vector<std::string>{"--delete-inputs"}, std::vector<std::string>{"--wipe-inputs", "-m", "fast", "-n", "1"}}) {
        SCOPED_TRACE(action.front());
        TempDir dir;
        const RemovalTree tree(dir);
        ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534), 0);
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
        ::chmod((tree.root + "/closed").c_str(), 0);
        std::vector<std::string> rest = action;
        rest.insert(rest.end(), {"--skip-unreadable", tree.root, dir / "top.txt"});
        const auto outcome = RunAsNobody(CreateArgs(dir, dir / "out.run", rest), Secret);
        ::chmod((tree.root + "/closed").c_str(), 0700);

        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, dir / "out.run\n" + "kept: " + tree.root + "/closed (not in the archive)\n" +
                                   "removed: 4\n");
        EXPECT_TRUE(fs::exists(tree.root + "/closed/secret.txt"));
        EXPECT_FALSE(fs::exists(tree.root + "/a.txt"));
        EXPECT_FALSE(fs::exists(tree.root + "/nested"));
        EXPECT_FALSE(fs::exists(dir / "top.txt"));
        EXPECT_EQ(RunIvqa({"test", dir / "out.run"}, Secret).status, 0);
    }
}

// Things that happen while the run writes a large file: the small file
// before it is already in the archive.
TEST(CreateRemovingInputs, AChangedFileStaysAndAFailedReadBackRemovesNothing)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a-small.txt", "small");
    WriteFile(dir / "in/z-large.bin", NoiseBytes(24 * 1048576, 3));
    WriteFile(dir / "my.key", NoiseBytes(1024, 4));
    const struct {
        const char* name;
        bool changeKeyfile; // else the small file is touched
        int status;
    } cases[] = {
        {"the small file changed", false, 0},
        {"the keyfile changed, the archive cannot be read back", true, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code error;
        fs::remove(dir / "out.run", error);
        ProcessRequest request;
        request.args = CreateArgs(dir, dir / "out.run",
                                  {"--delete-inputs", "-l", "0", "--keyfile", dir / "my.key", dir / "in/a-small.txt",
                                   dir / "in/z-large.bin"});
        request.input = Secret;
        ChildProcess create(request);
        // Once the large file's first block is written, the small one is in.
        const auto started = [&] {
            for (const auto& entry : fs::directory_iterator(dir.Path())) {
                if (entry.path().filename().string().starts_with(".out.run.") &&
                    fs::file_size(entry.path(), error) > IVQA_PAYLOAD_OFFSET_EN + 2 * 1048576)
                    return true;
            }
            return false;
        };
        for (int i = 0; i < 6000 && !started(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (c.changeKeyfile)
            WriteFile(dir / "my.key", NoiseBytes(1024, 5));
        else
            fs::last_write_time(dir / "in/a-small.txt", fs::last_write_time(dir / "in/a-small.txt") + std::chrono::hours(1));
        const auto outcome = create.Finish();

        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_TRUE(fs::exists(dir / "out.run")) << "the archive is kept";
        EXPECT_TRUE(fs::exists(dir / "in/a-small.txt"));
        EXPECT_EQ(fs::exists(dir / "in/z-large.bin"), c.changeKeyfile);
        if (c.changeKeyfile) {
            EXPECT_NE(outcome.err.find("ivqa: the archive could not be verified; the inputs were left in place: "),
                      std::string::npos)
                << outcome.err;
        } else {
            EXPECT_NE(outcome.out.find("kept: " + dir / "in/a-small.txt (changed since it was archived)\nremoved: 1\n"),
                      std::string::npos)
                << outcome.out;
        }
        WriteFile(dir / "in/z-large.bin", NoiseBytes(24 * 1048576, 3));
    }
}

// Whatever the action, an output that is an input or lies inside an input
// folder (also through a link) is refused before anything is written.
TEST(CreateRemovingInputs, RefusesAnOutputAmongTheInputs)
{
    TempDir dir;
    const RemovalTree tree(dir);
    fs::create_symlink(tree.root, dir / "in-link");
    fs::create_symlink(dir / "top.txt", dir / "top-link.run");
    const struct {
        std::string output;
        std::vector<std::string> rest;
    } cases[] = {
        {tree.root + "/out.run", {tree.root}},
        {tree.root + "/nested/out.run", {"--delete-inputs", tree.root}},
        {dir / "in-link/out.run", {"--wipe-inputs", tree.root}},
        {tree.root + "/out.run", {dir / "in-link"}},
        {dir / "top-link.run", {"--force", dir / "top.txt"}},
        {dir / "top.txt.run", {"--force", dir / "top.txt.run"}},
    };
    WriteFile(dir / "top.txt.run", "an input that looks like an archive");
    for (const auto& c : cases) {
        const auto outcome = RunIvqa(CreateArgs(dir, c.output, c.rest), Secret);
        EXPECT_EQ(outcome.status, 64) << c.output << ": " << outcome.err;
        EXPECT_NE(outcome.err.find("ivqa: the archive " + c.output), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(tree.root + "/out.run"));
        EXPECT_FALSE(fs::exists(tree.root + "/nested/out.run"));
        EXPECT_EQ(ReadFile(dir / "top.txt"), std::vector<std::uint8_t>({'t', 'o', 'p'}));
        EXPECT_TRUE(fs::exists(tree.root + "/a.txt"));
    }
}

TEST(CreateRemovingInputs, TheTwoActionsExcludeEachOtherAndWipeOptionsNeedWiping)
{
    TempDir dir;
    const RemovalTree tree(dir);
    for (const std::vector<std::string>& rest :
         {std::vector<std::string>{"--delete-inputs", "--wipe-inputs", dir / "top.txt"},
          std::vector<std::string>{"--delete-inputs", "-m", "fast", dir / "top.txt"},
          std::vector<std::string>{"-n", "2", dir / "top.txt"},
          std::vector<std::string>{"--wipe-inputs", "-n", "33", dir / "top.txt"}}) {
        const auto outcome = RunIvqa(CreateArgs(dir, dir / "out.run", rest), Secret);
        EXPECT_EQ(outcome.status, 64) << outcome.err;
        EXPECT_FALSE(fs::exists(dir / "out.run"));
        EXPECT_TRUE(fs::exists(dir / "top.txt"));
    }
}

} // namespace
