// What a wipe or delete may touch: only the entries below the path the
// caller named, on its own file system, however the tree changes while the
// run goes on.

#include "deep_tree.h"
#include "ivqa.h"
#include "scratch_mount.h"
#include "wipe_fixture.h"
#include "wipe_operations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Rename(const std::string& from, const std::string& to)
{
    ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
}

// While the run is under way, the folder holding the caller's entry is moved
// away and a link to a look-alike folder is put in its place: every later
// step must still act on the entry the run began with.
TEST(PinnedParent, SwappingAFolderOfThePathForALinkRedirectsNothing)
{
    const struct {
        Operation operation;
        bool swapAtRange; // else at the name of the first entry inside
    } cases[] = {
        {Operation::WipeFile, true},
        {Operation::WipeDir, false},
        {Operation::RmDir, false},
    };
    const std::vector<std::uint8_t> content = SampleBytes(3000, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(OperationName(c.operation));
        TempDir scratch;
        const bool file = c.operation == Operation::WipeFile;
        MakeDir(scratch / "dir");
        MakeDir(scratch / "decoy");
        if (file) {
            WriteFile(scratch / "dir/entry", content);
            WriteFile(scratch / "decoy/entry", content);
        } else {
            MakeDir(scratch / "dir/entry");
            WriteFile(scratch / "dir/entry/inner.bin", content);
            MakeDir(scratch / "decoy/entry");
        }
        const auto swap = [&] {
            Rename(scratch / "dir", scratch / "moved");
            MakeSymlink(scratch / "decoy", scratch / "dir");
        };
        CallbackRecorder recorder;
        if (c.swapAtRange)
            recorder.onRange = swap;
        else
            recorder.onName = [&](const std::u16string& name) {
                if (name == u"inner.bin")
                    swap();
            };

        EXPECT_EQ(RunOperation(c.operation, scratch / "dir/entry"), IQ_OK);

        EXPECT_FALSE(Exists(scratch / "moved/entry")) << "the entry named by the caller stays";
        ASSERT_TRUE(Exists(scratch / "decoy/entry")) << "the look-alike was removed";
        if (file) {
            EXPECT_EQ(ReadFile(scratch / "decoy/entry"), content);
        }
        EXPECT_TRUE(recorder.skips.empty());
    }
}

// A file system mounted inside the tree is another one's: not entered,
// asked about as an entry that cannot be removed, its files left whole.
TEST(OneFileSystem, MountPointInsideTheTreeIsSkippedUntouched)
{
    for (const Operation operation : {Operation::WipeDir, Operation::RmDir}) {
        SCOPED_TRACE(OperationName(operation));
        TempDir scratch;
        MakeDir(scratch / "tree");
        MakeDir(scratch / "tree/mnt");
        ScratchMount tmpfs(scratch / "tree/mnt");
        if (!tmpfs.Mounted())
            GTEST_SKIP() << tmpfs.Why();
        const std::vector<std::uint8_t> content = SampleBytes(600000, 2);
        WriteFile(scratch / "tree/mnt/other.bin", content);
        WriteFile(scratch / "tree/plain.bin", content);
        CallbackRecorder recorder;
        recorder.laterAnswer = 1;

        EXPECT_EQ(RunOperation(operation, scratch / "tree"), IQ_OK);

        EXPECT_EQ(recorder.skips, (std::vector<std::u16string>{u"mnt", U16(scratch / "tree")}));
        EXPECT_EQ(ReadFile(scratch / "tree/mnt/other.bin"), content);
        EXPECT_FALSE(Exists(scratch / "tree/plain.bin"));
        EXPECT_TRUE(std::find(recorder.names.begin(), recorder.names.end(), u"other.bin") == recorder.names.end())
            << "the walk entered the mount";
    }
}

// The bytes of a file with several names belong to all of them: met inside
// a wiped folder only this name goes; named by the caller, it is wiped.
TEST(HardLinks, OtherNamesKeepTheirBytesUnlessTheCallerNamedTheFile)
{
    const struct {
        Operation operation;
        bool otherNameKeepsBytes;
    } cases[] = {
        {Operation::WipeDir, true},
        {Operation::WipeFile, false},
    };
    const std::vector<std::uint8_t> content = SampleBytes(5000, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(OperationName(c.operation));
        TempDir scratch;
        MakeDir(scratch / "tree");
        WriteFile(scratch / "tree/shared.bin", content);
        ASSERT_EQ(::link((scratch / "tree/shared.bin").c_str(), (scratch / "elsewhere.bin").c_str()), 0);
        CallbackRecorder recorder;

        const std::string target = c.operation == Operation::WipeDir ? scratch / "tree" : scratch / "tree/shared.bin";
        EXPECT_EQ(RunOperation(c.operation, target, Dod), IQ_OK);

        EXPECT_FALSE(Exists(scratch / "tree/shared.bin"));
        const std::vector<std::uint8_t> other = ReadFile(scratch / "elsewhere.bin");
        if (c.otherNameKeepsBytes) {
            EXPECT_EQ(other, content);
            EXPECT_EQ(recorder.steps, 0U) << "a shared file was overwritten";
        } else {
            EXPECT_EQ(other, std::vector<std::uint8_t>(PatternBytes, 0xAA));
        }
        EXPECT_TRUE(recorder.skips.empty());
    }
}

// Only the last levels of a deep walk keep their handles; the walk climbs
// back through "..". A folder moved out of the tree meanwhile leads
// elsewhere from there: the walk stops rather than emptying the place it
// was moved to.
TEST(DeepWalk, ClimbingBackOutOfAMovedFolderIsRefused)
{
    constexpr int Depth = 40;
    constexpr int MovedLevel = 20; // its parent has given its handle up
    for (const Operation operation : {Operation::WipeDir, Operation::RmDir}) {
        SCOPED_TRACE(OperationName(operation));
        TempDir scratch;
        MakeDeepTree(scratch / "tree", Depth, 1);
        MakeDir(scratch / "elsewhere");
        WriteFile(scratch / "elsewhere/keep", SampleBytes(100, 2));
        std::string moved = scratch / "tree";
        for (int level = 1; level <= MovedLevel; ++level)
            moved += "/d";
        CallbackRecorder recorder;
        recorder.onName = [&](const std::u16string& name) {
            if (name == u"leaf.txt")
                Rename(moved, scratch / "elsewhere/d");
        };

        EXPECT_EQ(RunOperation(operation, scratch / "tree"), IQ_INPUT_DIR_ERROR);

        EXPECT_TRUE(Exists(scratch / "elsewhere/d")) << "the moved folder was removed from where it went";
        EXPECT_EQ(ReadFile(scratch / "elsewhere/keep"), SampleBytes(100, 2));
        EXPECT_TRUE(Exists(scratch / "tree"));
        RemoveDeepTree(scratch / "tree");
    }
}

} // namespace
