// The wipe and delete exports of libivqa, driven as the front end drives
// them, with every write read back through a second descriptor.

#include "ivqa.h"
#include "wipe_fixture.h"
#include "wipe_operations.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Read-back of the file at `path` from before its wipe to the end of the test.
class Reader {
public:
    Reader(CallbackRecorder& recorder, const std::string& path, std::uint64_t size)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        recorder.reader = fd_;
        recorder.buffersPerPass = std::max<std::uint64_t>(1, (size + PatternBytes - 1) / PatternBytes);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { ::close(fd_); }

    std::uint64_t Size() const
    {
        struct stat status;
        return ::fstat(fd_, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : ~0ULL;
    }

private:
    int fd_;
};

std::vector<int> EachTwice(const std::vector<int>& values)
{
    std::vector<int> doubled;
    for (const int value : values)
        doubled.insert(doubled.end(), {value, value});
    return doubled;
}

// ---------------------------------------------------------------------------

struct PassCase {
    const char* label;
    std::uint32_t method;
    std::uint32_t repetitions;
    std::size_t size;
    unsigned mode;
    std::vector<int> values;
    std::uint64_t range;
};

TEST(WipeFile, WritesEachPassOverWholeBuffersThenDeletes)
{
    const PassCase cases[] = {
        {"one byte written as one buffer", Fast, 1, 1, 0644, {0x00}, 1},
        {"only the low 8 bits of repetitions count", Fast, 0x102, 1, 0644, {0x00, 0x00}, 2},
        {"DoD twice on 1 MiB", Dod, 2, 1048576, 0644,
         EachTwice({0x00, 0xFF, 0xAA, 0x00, 0xFF, 0xAA}), 12},
        {"one byte past a buffer takes two", Dod, 1, PatternBytes + 1, 0644, EachTwice({0x00, 0xFF, 0xAA}), 6},
        {"read-only file is wiped", Fast, 1, 1000, 0444, {0x00}, 1},
        {"empty file is only deleted", Dod, 3, 0, 0644, {}, 0},
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir scratch;
        const std::string path = scratch / "victim.bin";
        WriteFileMode(path, SampleBytes(c.size, 1), c.mode);
        CallbackRecorder recorder;
        Reader reader(recorder, path, c.size);
        WipeSession session(c.repetitions, c.method);
        ASSERT_EQ(session.init, IQ_OK);

        EXPECT_EQ(IQ_WipeFile(session.context, U16(path).c_str()), IQ_OK);

        EXPECT_EQ(recorder.names, std::vector<std::u16string>{U16(path)});
        EXPECT_EQ(recorder.ranges, std::vector<std::uint64_t>{c.range});
        EXPECT_EQ(recorder.writtenValues, c.values);
        EXPECT_TRUE(recorder.skips.empty());
        EXPECT_FALSE(Exists(path));
        EXPECT_EQ(reader.Size(), (c.size + PatternBytes - 1) / PatternBytes * PatternBytes);
    }
}

TEST(WipeFile, GutmannWritesItsTableWithFreshRandomValuesPerRepetition)
{
    const int fixed[] = {0x55, 0xAA, 0x92, 0x49, 0x24, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                         0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x92, 0x49, 0x24, 0x6D, 0xB6, 0xDB};
    TempDir scratch;
    const std::string path = scratch / "victim.bin";
    WriteFile(path, SampleBytes(1, 1));
    CallbackRecorder recorder;
    Reader reader(recorder, path, 1);
    WipeSession session(2, Gutmann);
    ASSERT_EQ(session.init, IQ_OK);

    ASSERT_EQ(IQ_WipeFile(session.context, U16(path).c_str()), IQ_OK);

    EXPECT_EQ(recorder.ranges, std::vector<std::uint64_t>{70});
    ASSERT_EQ(recorder.writtenValues.size(), 70U);
    std::vector<int> randomOf[2];
    for (int repetition = 0; repetition < 2; ++repetition) {
        const int* values = recorder.writtenValues.data() + 35 * repetition;
        for (int pass = 4; pass <= 30; ++pass)
            EXPECT_EQ(values[pass], fixed[pass - 4]) << "repetition " << repetition << " pass " << pass + 1;
        for (const int pass : {0, 1, 2, 3, 31, 32, 33, 34}) {
            EXPECT_NE(values[pass], -1) << "pass " << pass + 1 << " is not one value throughout";
            randomOf[repetition].push_back(values[pass]);
        }
    }
    EXPECT_NE(randomOf[0], randomOf[1]) << "the second repetition reused the random values";
    EXPECT_FALSE(Exists(path));
}

TEST(WipeInit, RefusesWhatWouldDeleteWithoutOverwriting)
{
    const struct {
        std::uint32_t repetitions;
        std::uint32_t method;
    } cases[] = {{1, 3}, {1, 0xFFFFFFFF}, {0, Fast}, {256, Gutmann}, {0x300, Dod}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "repetitions " << c.repetitions << " method " << c.method);
        CallbackRecorder recorder;
        WipeContext* context = reinterpret_cast<WipeContext*>(&recorder);
        EXPECT_EQ(IQ_WipeInit(&context, c.repetitions, c.method, RecordName, RecordRange, RecordStep, RecordSkip),
                  IQ_INPUT_FILE_ERROR);
        EXPECT_EQ(context, nullptr);
    }
    IQ_WipeFinal(nullptr);
}

// ---------------------------------------------------------------------------

TEST(Removal, LinksGivenByTheCallerAreRemovedNotFollowed)
{
    const struct {
        Operation operation;
        bool toDirectory;
        const char* suffix;
    } cases[] = {
        {Operation::WipeFile, false, ""}, {Operation::RmFile, false, ""},   {Operation::WipeDir, true, ""},
        {Operation::WipeDir, true, "/"},  {Operation::RmDir, true, "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << OperationName(c.operation) << " link" << c.suffix);
        TempDir scratch;
        const std::vector<std::uint8_t> content = SampleBytes(5000, 1);
        // Read-only, so that following the link would also change its mode.
        MakeDir(scratch / "target");
        WriteFileMode(scratch / "target/kept.bin", content, 0444);
        const std::string target = c.toDirectory ? scratch / "target" : scratch / "target/kept.bin";
        MakeSymlink(target, scratch / "link");
        CallbackRecorder recorder;

        EXPECT_EQ(RunOperation(c.operation, scratch / "link" + c.suffix), IQ_OK);

        EXPECT_FALSE(Exists(scratch / "link"));
        EXPECT_EQ(ReadFile(scratch / "target/kept.bin"), content);
        struct stat status;
        ASSERT_EQ(::stat((scratch / "target/kept.bin").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0444U);
        EXPECT_TRUE(recorder.skips.empty());
    }
}

TEST(Removal, LinksInsideATreeGoWhileTheirTargetsStay)
{
    for (const Operation operation : {Operation::WipeDir, Operation::RmDir}) {
        SCOPED_TRACE(OperationName(operation));
        TempDir scratch;
        const std::vector<std::uint8_t> content = SampleBytes(700000, 1);
        MakeDir(scratch / "outside");
        WriteFile(scratch / "outside/kept.bin", content);
        MakeDir(scratch / "outside/inner");
        WriteFile(scratch / "outside/inner/also.bin", content);
        MakeDir(scratch / "tree");
        MakeDir(scratch / "tree/sub");
        WriteFile(scratch / "tree/plain.bin", content);
        MakeSymlink(scratch / "outside/kept.bin", scratch / "tree/to_file");
        MakeSymlink(scratch / "outside", scratch / "tree/to_dir");
        MakeSymlink("../../outside/kept.bin", scratch / "tree/sub/relative");
        MakeSymlink(scratch / "nowhere", scratch / "tree/dangling");
        CallbackRecorder recorder;

        EXPECT_EQ(RunOperation(operation, scratch / "tree"), IQ_OK);

        EXPECT_FALSE(Exists(scratch / "tree"));
        EXPECT_EQ(ReadFile(scratch / "outside/kept.bin"), content);
        EXPECT_EQ(ReadFile(scratch / "outside/inner/also.bin"), content);
        EXPECT_TRUE(recorder.skips.empty());
    }
}

// The callbacks' view of a tree: the caller's path first, bare names below,
// each directory before its entries in listing order.
void ExpectedWalk(const std::string& directory, std::vector<std::string>* paths)
{
    paths->push_back(directory);
    for (const std::string& name : ListingOrder(directory)) {
        struct stat status;
        const std::string path = directory + "/" + name;
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            ExpectedWalk(path, paths);
        else
            paths->push_back(path);
    }
}

std::u16string ShownName(const std::string& path, bool top)
{
    const std::string name = top ? path : path.substr(path.rfind('/') + 1);
    // Names that are not UTF-8 are still removed; they are shown escaped.
    return name == "bad\xff" ? u"bad\xDCFF" : U16(name);
}

TEST(Removal, TreeIsEmptiedDepthFirstAndRemoved)
{
    for (const Operation operation : {Operation::WipeDir, Operation::RmDir}) {
        SCOPED_TRACE(OperationName(operation));
        TempDir scratch;
        const std::string top = scratch / "tree";
        MakeDir(top);
        WriteFile(top + "/a.bin", SampleBytes(600000, 1));
        MakeDir(top + "/sub");
        WriteFile(top + "/sub/b.bin", SampleBytes(10, 1));
        MakeDir(top + "/sub/deeper");
        WriteFile(top + "/sub/deeper/c.bin", std::vector<std::uint8_t>{});
        MakeDir(top + "/sub/empty");
        MakeDir(top + "/other");
        WriteFileMode(top + "/other/d.bin", SampleBytes(3, 1), 0444);
        WriteFile(top + "/bad\xff", SampleBytes(20, 1));
        WriteFile(top + "/z.bin", SampleBytes(1, 1));
        // Deleting skips read-only files; wiping gives them write permission.
        if (operation == Operation::RmDir)
            ::chmod((top + "/other/d.bin").c_str(), 0644);
        std::vector<std::string> expected;
        ExpectedWalk(top, &expected);

        CallbackRecorder recorder;
        std::vector<std::string> gone;
        recorder.onName = [&](const std::u16string& name) {
            const std::size_t index = recorder.names.size();
            ASSERT_LT(index, expected.size());
            EXPECT_EQ(name, ShownName(expected[index], index == 0));
            // Everything reported before, except the directories this entry
            // lies in, has been removed already.
            for (std::size_t earlier = 0; earlier < index; ++earlier) {
                const bool encloses = expected[index].rfind(expected[earlier] + "/", 0) == 0;
                if (!encloses) {
                    EXPECT_FALSE(Exists(expected[earlier])) << expected[earlier] << " still there at " << index;
                }
            }
        };

        EXPECT_EQ(RunOperation(operation, top), IQ_OK);

        EXPECT_EQ(recorder.names.size(), expected.size());
        EXPECT_FALSE(Exists(top));
        EXPECT_TRUE(recorder.skips.empty());
        if (operation == Operation::WipeDir) {
            // a.bin takes two buffers, c.bin none, the others one each.
            EXPECT_EQ(recorder.steps, 2U + 1 + 0 + 1 + 1 + 1);
        }
    }
}

// ---------------------------------------------------------------------------

enum class Obstacle { Fifo, ReadOnlyFile, RegularFile };

struct SkipCase {
    const char* label;
    Operation operation;
    Obstacle obstacle;
    bool insideTree;
    std::vector<std::int32_t> answers;
    CoreResult result;
    // "entry" stands for the obstacle's bare name, "top" for the caller's path.
    std::vector<std::string> asked;
};

TEST(Removal, SkipAnswersDecideAsTheFailureTableSays)
{
    const SkipCase cases[] = {
        {"FIFO, skip", Operation::WipeFile, Obstacle::Fifo, false, {-1}, IQ_OK, {"top"}},
        {"FIFO, stop", Operation::WipeFile, Obstacle::Fifo, false, {0}, IQ_INPUT_FILE_ERROR, {"top"}},
        {"read-only, skip", Operation::RmFile, Obstacle::ReadOnlyFile, false, {-1}, IQ_OK, {"top"}},
        {"read-only, stop", Operation::RmFile, Obstacle::ReadOnlyFile, false, {0}, IQ_INPUT_FILE_ERROR, {"top"}},
        {"not a directory, skip", Operation::WipeDir, Obstacle::RegularFile, false, {1}, IQ_OK, {"top"}},
        {"not a directory, stop", Operation::RmDir, Obstacle::RegularFile, false, {0}, IQ_INPUT_DIR_ERROR, {"top"}},
        {"FIFO in tree, skip both", Operation::WipeDir, Obstacle::Fifo, true, {-1, -1}, IQ_OK, {"entry", "top"}},
        {"FIFO in tree, skip it, stop at the directory", Operation::WipeDir, Obstacle::Fifo, true, {-1, 0},
         IQ_INPUT_DIR_ERROR, {"entry", "top"}},
        {"FIFO in tree, stop", Operation::WipeDir, Obstacle::Fifo, true, {0}, IQ_INPUT_FILE_ERROR, {"entry"}},
        {"read-only in tree, skip both", Operation::RmDir, Obstacle::ReadOnlyFile, true, {-1, -1}, IQ_OK,
         {"entry", "top"}},
        {"read-only in tree, stop", Operation::RmDir, Obstacle::ReadOnlyFile, true, {0}, IQ_INPUT_FILE_ERROR,
         {"entry"}},
    };
    const std::vector<std::uint8_t> content = SampleBytes(2000, 1);
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir scratch;
        const std::string top = c.insideTree ? scratch / "tree" : scratch / "obstacle";
        const std::string obstacle = c.insideTree ? top + "/obstacle" : top;
        if (c.insideTree) {
            MakeDir(top);
            WriteFile(top + "/removable.bin", content);
        }
        if (c.obstacle == Obstacle::Fifo)
            MakeFifo(obstacle);
        else
            WriteFileMode(obstacle, content, c.obstacle == Obstacle::ReadOnlyFile ? 0444 : 0644);
        CallbackRecorder recorder;
        recorder.answers.assign(c.answers.begin(), c.answers.end());

        EXPECT_EQ(RunOperation(c.operation, top), c.result);

        std::vector<std::u16string> asked;
        for (const std::string& which : c.asked)
            asked.push_back(which == "top" ? U16(top) : u"obstacle");
        EXPECT_EQ(recorder.skips, asked);
        struct stat status;
        ASSERT_EQ(::lstat(obstacle.c_str(), &status), 0) << "the obstacle was removed";
        if (c.obstacle != Obstacle::Fifo) {
            EXPECT_EQ(ReadFile(obstacle), content);
        }
        if (c.insideTree && c.result == IQ_OK) {
            EXPECT_EQ(ListingOrder(top), std::vector<std::string>{"obstacle"});
        }
    }
}

TEST(WipeFile, FileThatCannotBeDeletedAfterOverwritingAsks)
{
    for (const std::int32_t answer : {1, 0}) {
        SCOPED_TRACE(answer != 0 ? "skip" : "stop");
        TempDir scratch;
        MakeDir(scratch / "locked");
        const std::string path = scratch / "locked/victim.bin";
        WriteFileMode(path, SampleBytes(3000, 1), 0666);
        // Root's child runs as nobody, for whom root's directory is closed.
        ::chmod((scratch / "locked").c_str(), geteuid() == 0 ? 0755 : 0555);
        RunUnprivileged([&] {
            CallbackRecorder recorder;
            recorder.answers = {answer};
            EXPECT_EQ(RunOperation(Operation::WipeFile, path), answer != 0 ? IQ_OK : IQ_INPUT_FILE_ERROR);
            EXPECT_EQ(recorder.skips, std::vector<std::u16string>{U16(path)});
            EXPECT_EQ(ReadFile(path), std::vector<std::uint8_t>(PatternBytes, 0x00));
        });
    }
}

TEST(WipeFile, ReadOnlyFileThatCannotBeGivenWritePermissionAsks)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a read-only file of another owner: run as root to check";
    for (const std::int32_t answer : {1, 0}) {
        SCOPED_TRACE(answer != 0 ? "skip" : "stop");
        TempDir scratch;
        MakeDir(scratch / "shared");
        ::chmod((scratch / "shared").c_str(), 0777);
        const std::string path = scratch / "shared/foreign.bin";
        WriteFileMode(path, SampleBytes(3000, 1), 0444);
        RunUnprivileged([&] {
            CallbackRecorder recorder;
            recorder.answers = {answer};
            EXPECT_EQ(RunOperation(Operation::WipeFile, path), answer != 0 ? IQ_OK : IQ_INPUT_FILE_ERROR);
            EXPECT_EQ(recorder.skips, std::vector<std::u16string>{U16(path)});
            EXPECT_TRUE(recorder.ranges.empty());
            EXPECT_EQ(ReadFile(path), SampleBytes(3000, 1));
        });
    }
}

TEST(WipeFile, FailedWriteEndsTheRunWithoutAskingAndKeepsTheFile)
{
    TempDir scratch;
    const std::string path = scratch / "victim.bin";
    WriteFile(path, SampleBytes(1, 1));
    RunInLimitedChild(
        [] {
            // The first 512 KiB write cannot complete.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{65536, 65536};
            setrlimit(RLIMIT_FSIZE, &limit);
        },
        [&] {
            CallbackRecorder recorder;
            recorder.laterAnswer = 1;
            EXPECT_EQ(RunOperation(Operation::WipeFile, path), IQ_INPUT_FILE_ERROR);
            EXPECT_TRUE(recorder.skips.empty());
            EXPECT_EQ(recorder.steps, 0U);
            EXPECT_TRUE(Exists(path));
        });
}

TEST(Removal, FilesystemRootIsRefusedUntouched)
{
    for (const Operation operation : {Operation::WipeDir, Operation::RmDir}) {
        for (const char* path : {"/", "//", "/tmp/.."}) {
            SCOPED_TRACE(testing::Message() << OperationName(operation) << " " << path);
            CallbackRecorder recorder;
            // Should the refusal fail, the walk is stopped before its first
            // entry is touched: every entry is named before anything else.
            recorder.throwAtName = 2;
            recorder.throwAtSkip = 1;

            EXPECT_EQ(RunOperation(operation, path), IQ_INPUT_DIR_ERROR);
            EXPECT_EQ(recorder.names, std::vector<std::u16string>{U16(path)});
        }
    }
}

// ---------------------------------------------------------------------------

struct AbortCase {
    const char* label;
    Operation operation;
    unsigned CallbackRecorder::*thrower;
    unsigned at;
};

TEST(Abort, ThrowingCallbackGivesAbortedAndReleasesWhatWasOpen)
{
    const AbortCase cases[] = {
        {"step in mid-pass", Operation::WipeFile, &CallbackRecorder::throwAtStep, 2},
        {"range", Operation::WipeFile, &CallbackRecorder::throwAtRange, 1},
        {"name of a nested entry", Operation::WipeDir, &CallbackRecorder::throwAtName, 3},
        {"skip inside the tree", Operation::WipeDir, &CallbackRecorder::throwAtSkip, 1},
        {"name in a delete", Operation::RmDir, &CallbackRecorder::throwAtName, 3},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir scratch;
        const std::string file = scratch / "tree/sub/big.bin";
        MakeDir(scratch / "tree");
        MakeDir(scratch / "tree/sub");
        WriteFile(file, SampleBytes(3 * PatternBytes, 1));
        MakeFifo(scratch / "tree/sub/fifo");
        const std::string untouched = scratch / "later.bin";
        WriteFile(untouched, SampleBytes(10, 1));
        const std::string target = c.operation == Operation::WipeFile ? file : scratch / "tree";
        const std::size_t baseline = OpenDescriptorCount();
        CallbackRecorder recorder;
        recorder.*c.thrower = c.at;

        if (c.operation == Operation::RmDir) {
            EXPECT_EQ(RunOperation(c.operation, target), IQ_ABORTED);
            EXPECT_EQ(OpenDescriptorCount(), baseline);
            EXPECT_TRUE(Exists(scratch / "tree/sub"));
            continue;
        }
        WipeSession session(1, Dod);
        ASSERT_EQ(session.init, IQ_OK);
        const CoreResult result = c.operation == Operation::WipeFile
                                      ? IQ_WipeFile(session.context, U16(target).c_str())
                                      : IQ_WipeDir(session.context, U16(target).c_str());
        EXPECT_EQ(result, IQ_ABORTED);
        // The file being overwritten is closed as the context is spent.
        EXPECT_EQ(OpenDescriptorCount(), baseline);
        EXPECT_TRUE(Exists(scratch / "tree/sub"));

        // The context is spent: nothing more is touched or reported.
        const std::size_t reported = recorder.names.size();
        EXPECT_EQ(IQ_WipeFile(session.context, U16(untouched).c_str()), IQ_INPUT_FILE_ERROR);
        EXPECT_EQ(IQ_WipeDir(session.context, U16(scratch / "tree").c_str()), IQ_INPUT_DIR_ERROR);
        EXPECT_EQ(recorder.names.size(), reported);
        EXPECT_EQ(ReadFile(untouched), SampleBytes(10, 1));

        session.Finish();
        EXPECT_EQ(OpenDescriptorCount(), baseline);
    }
}

} // namespace
