// ivqa wipe and ivqa rm from a script.

#include "cli_fixture.h"
#include "ivqa_process.h"
#include "scratch_mount.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct RemovalCase {
    const char* name;
    std::vector<std::string> args;
};

class RemovesWithYes : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(RemovesWithYes, FilesFoldersAndLinksButNoLinkTarget)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    WriteFile(dir / "outside.txt", "stays");
    fs::create_symlink(dir / "outside.txt", source + "/input/nested/link");
    fs::create_symlink(dir / "outside.txt", dir / "top-link");

    std::vector<std::string> args = GetParam().args;
    for (const std::string& path : {source + "/input", source + "/top.txt", dir / "top-link"})
        args.push_back(path);
    const auto outcome = RunIvqa(args);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(ListTree(source).empty());
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "top-link")));
    EXPECT_EQ(ReadText(dir / "outside.txt"), "stays");
}

INSTANTIATE_TEST_SUITE_P(Commands, RemovesWithYes,
                         ::testing::Values(RemovalCase{"WipeDefaults", {"wipe", "--yes"}},
                                           RemovalCase{"WipeFastOnce", {"wipe", "-m", "fast", "-n", "1", "--yes"}},
                                           RemovalCase{"WipeGutmann", {"wipe", "--yes", "-m", "gutmann", "-n", "1"}},
                                           RemovalCase{"Rm", {"rm", "--yes"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Removal, WithoutTerminalOrYesNothingIsTouched)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto before = ListTree(source);
    for (const char* command : {"wipe", "rm"}) {
        const auto outcome = RunIvqa({command, source + "/input", source + "/top.txt"}, "y\n");
        EXPECT_EQ(outcome.status, 64) << command;
        EXPECT_NE(outcome.err.find("give --yes"), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(ListTree(source), before);
}

TEST(Removal, RefusesDotOperandsBeforeTouchingAnything)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto before = ListTree(source);
    for (const std::string& dot : {std::string("."), std::string(".."), source + "/input/.", source + "/input/../"}) {
        const auto outcome = RunIvqa({"wipe", "--yes", source + "/top.txt", dot}, "", source + "/input");
        EXPECT_EQ(outcome.status, 64) << dot;
        EXPECT_EQ(RunIvqa({"rm", "--yes", dot}, "", source + "/input").status, 64) << dot;
    }
    EXPECT_EQ(ListTree(source), before);
}

TEST(Removal, AFailedOperandIsReportedAndTheOthersStillGo)
{
    for (const char* command : {"wipe", "rm"}) {
        for (const bool quiet : {false, true}) {
            TempDir dir;
            WriteFile(dir / "a", "a");
            WriteFile(dir / "b", "b");
            std::vector<std::string> args{command, "--yes", dir / "a", dir / "missing.txt", dir / "b"};
            if (quiet)
                args.insert(args.begin() + 1, "-q");
            const auto outcome = RunIvqa(args);
            EXPECT_EQ(outcome.status, 4) << command;
            const std::string failure =
                "ivqa: Can not remove \"" + dir / "missing.txt" + "\"! No such file or directory.\n";
            // -q leaves the errors alone, without the count.
            EXPECT_EQ(outcome.err, quiet ? failure
                                         : failure + "ivqa: " + (std::string(command) == "wipe" ? "wiped" : "removed") +
                                               " 2 of 3, 1 failed\n");
            EXPECT_FALSE(fs::exists(dir / "a")) << command;
            EXPECT_FALSE(fs::exists(dir / "b")) << "operands after the failed one go too";
        }
    }
}

} // namespace

// Overwriting in place does not reach old contents on a copy-on-write file
// system: one sentence says so before the wipe, with or without --yes.
TEST(Removal, WipeOnACopyOnWriteFileSystemSaysWhatItCannotReach)
{
    TempDir dir;
    fs::create_directory(dir / "cow");
    ScratchMount btrfs("btrfs", dir / "image", 128, dir / "cow");
    if (!btrfs.Mounted())
        GTEST_SKIP() << btrfs.Why();
    const std::string notice = "lie on a copy-on-write file system";
    const struct {
        std::string folder;
        bool told;
    } cases[] = {{dir / "cow", true}, {dir.Path(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        WriteFile(c.folder + "/secret.txt", "old contents");
        const auto outcome = RunIvqa({"wipe", "--yes", "-m", "fast", "-n", "1", c.folder + "/secret.txt"});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err.find(notice) != std::string::npos, c.told) << outcome.err;
        EXPECT_FALSE(fs::exists(c.folder + "/secret.txt"));
    }
}
