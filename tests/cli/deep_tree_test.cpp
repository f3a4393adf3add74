// A tree far deeper than the limit of open files archives, extracts and is
// removed: every walk holds only a few levels' descriptors.

#include "cli_fixture.h"
#include "deep_tree.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

constexpr char Secret[] = "correct horse\n";
constexpr int Depth = 5000;
constexpr int FileEvery = 1000;

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Deep trees outlive a failed assertion otherwise: TempDir's removal goes
// by path.
struct DeepTrees {
    std::vector<std::string> roots;
    ~DeepTrees()
    {
        for (const auto& root : roots)
            RemoveDeepTree(root);
    }
};

TEST(DeepTree, ArchivesExtractsAndIsRemovedUnderTheUsualLimit)
{
    TempDir dir;
    DeepTrees trees{{dir / "src/deep", dir / "extracted/deep", dir / "run/deep"}};
    ::mkdir((dir / "src").c_str(), 0755);
    MakeDeepTree(dir / "src/deep", Depth, FileEvery);
    const OpenFileLimit limit(1024);

    const std::string archive = dir / "deep.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, {dir / "src/deep"}), Secret);
    ASSERT_EQ(created.status, 0) << created.err;

    ::mkdir((dir / "extracted").c_str(), 0755);
    const auto extracted = RunIvqa({"extract", archive, "--dest", dir / "extracted"}, Secret);
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(DeepTreeDifference(dir / "extracted/deep", Depth, FileEvery), "");

    if (HaveRealModules()) {
        ::mkdir((dir / "run").c_str(), 0755);
        const auto outcome = RunArchiveConsole(archive, {"--dest", dir / "run"}, Secret);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(DeepTreeDifference(dir / "run/deep", Depth, FileEvery), "");
    }

    const auto removed = RunIvqa({"rm", "--yes", dir / "extracted/deep"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_FALSE(Exists(dir / "extracted/deep"));
    const auto wiped = RunIvqa({"wipe", "-m", "fast", "-n", "1", "--yes", dir / "src/deep"});
    EXPECT_EQ(wiped.status, 0) << wiped.err;
    EXPECT_FALSE(Exists(dir / "src/deep"));
}

} // namespace
