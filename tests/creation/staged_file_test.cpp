// A new file takes its name only when whole; until then whatever had the
// name, a link's target among them, stays as it was.

#include "creation/module_stage.h"
#include "creation/staged_file.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

std::size_t EntriesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(StagedFile, IsPrivateUntilCommittedAndThenReplacesTheNameOnly)
{
    struct Case {
        const char* name;
        bool existingFile;
        bool linkToOther;
        bool dangling;
    };
    for (const Case c : {Case{"new name", false, false, false}, Case{"existing file", true, false, false},
                         Case{"link to a file", false, true, false}, Case{"dangling link", false, false, true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string output = dir / "out.run";
        WriteFile(dir / "important.txt", "keep me");
        if (c.existingFile)
            WriteFile(output, "old archive");
        if (c.linkToOther)
            fs::create_symlink("important.txt", output);
        if (c.dangling)
            fs::create_symlink("nowhere", output);

        auto file = StagedFile::Create(output);
        ASSERT_TRUE(file);
        EXPECT_EQ(FolderOf(file->TemporaryPath()), dir.Path());
        EXPECT_EQ(ModeOf(file->TemporaryPath()), 0600u);
        ASSERT_EQ(::write(file->Fd(), "new", 3), 3);
        if (c.existingFile) {
            EXPECT_EQ(ReadFile(output), std::vector<std::uint8_t>({'o', 'l', 'd', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e'}));
        }

        EXPECT_EQ(file->Commit(0750), StagedCommit::Done);
        EXPECT_FALSE(fs::is_symlink(output));
        EXPECT_EQ(ReadFile(output), std::vector<std::uint8_t>({'n', 'e', 'w'}));
        EXPECT_EQ(ModeOf(output), 0750u);
        EXPECT_EQ(ReadFile(dir / "important.txt"), std::vector<std::uint8_t>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
        EXPECT_EQ(EntriesIn(dir.Path()), 2u) << "no temporary file is left";
    }
}

TEST(StagedFile, ADiscardedOrFailedFileLeavesTheNameAsItWas)
{
    TempDir dir;
    const std::string output = dir / "out.run";
    WriteFile(output, "old");
    {
        auto file = StagedFile::Create(output);
        ASSERT_TRUE(file);
        ASSERT_EQ(::write(file->Fd(), "partial", 7), 7);
    } // dropped without a commit, as on every failed run
    EXPECT_EQ(ReadFile(output), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);

    // A folder of the name cannot be replaced: the rename fails, nothing stays.
    fs::create_directory(dir / "folder.run");
    auto onFolder = StagedFile::Create(dir / "folder.run");
    ASSERT_TRUE(onFolder);
    EXPECT_EQ(onFolder->Commit(0600), StagedCommit::Failed);
    EXPECT_TRUE(fs::is_directory(dir / "folder.run"));
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);

    EXPECT_FALSE(StagedFile::Create(dir / "no/such/out.run"));
}

TEST(ModuleStage, CopiesTheModuleIntoTheTemporaryFileAndRefusesToReplaceIt)
{
    TempDir dir;
    const auto module = NoiseBytes(200000, 1);
    WriteFile(dir / "module.iqm", module);
    fs::create_symlink("module.iqm", dir / "link.run");
    WriteFile(dir / "out.run", "old");

    ModuleStage stage = StageModuleCopy(dir / "module.iqm", dir / "out.run");
    ASSERT_EQ(stage.result, ModuleStageResult::Ok);
    EXPECT_EQ(stage.moduleLength, module.size());
    EXPECT_EQ(ReadFile(stage.archive->TemporaryPath()), module);
    EXPECT_EQ(ReadFile(dir / "out.run"), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    stage.archive->Discard();

    EXPECT_EQ(StageModuleCopy(dir / "module.iqm", dir / "module.iqm").result, ModuleStageResult::SameFile);
    EXPECT_EQ(StageModuleCopy(dir / "module.iqm", dir / "link.run").result, ModuleStageResult::SameFile);
    EXPECT_EQ(StageModuleCopy(dir / "missing.iqm", dir / "a.run").result, ModuleStageResult::CannotReadModule);
    EXPECT_EQ(StageModuleCopy(dir.Path(), dir / "a.run").result, ModuleStageResult::CannotReadModule);
    EXPECT_EQ(StageModuleCopy(dir / "module.iqm", dir / "no/such/a.run").result,
              ModuleStageResult::CannotWriteOutput);
    EXPECT_EQ(ReadFile(dir / "module.iqm"), module) << "the module is untouched";
    EXPECT_EQ(EntriesIn(dir.Path()), 3u) << "no temporary file is left";
}

} // namespace
