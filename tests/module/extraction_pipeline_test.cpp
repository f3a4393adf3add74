// The engine reads and decrypts on a thread of its own, ahead of the run's
// thread: what a run reports, asks and writes must not depend on whether
// that thread runs. Each case runs pinned to one processor (the reader then
// works on the run's thread) and free, and the two must agree in every event.

#include "core/archive_format.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Many small files in two folders, one file of five blocks that do not
// compress in between: the reader runs more records and more large blocks
// than it may hold ahead.
void AddTree(PayloadBuilder& builder)
{
    builder.EnterDir(u"one");
    for (int i = 0; i < 40; ++i)
        builder.File(u"small" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + U16(std::to_string(i)),
                     Bytes("content " + std::to_string(i)));
    builder.File(u"big", NoiseBytes(4 * BlockSize + 17, 3));
    builder.EnterDir(u"two").File(u"inner", Bytes("inner")).LeaveDir();
    builder.LeaveDir();
}

struct Outcome {
    ExtractResult result;
    std::vector<std::string> events;
    std::size_t checkpoints;
    std::size_t blocks;
    std::vector<std::string> removed;
    std::vector<std::string> tree;
};

struct Case {
    const char* name;
    std::function<void(PayloadBuilder&)> build;
    ExtractMode mode = ExtractMode::Extract;
    std::size_t stopAtCheckpoint = 0; // 0: never
    bool existingFile = false;        // "one/small" + "c2" exists; the answer is no
};

Outcome RunCase(const Case& c, const std::vector<std::uint8_t>& payload)
{
    TempDir dir;
    if (c.existingFile) {
        std::filesystem::create_directory(dir / "one");
        WriteFile(dir / "one/smallc2", "kept");
    }
    RecordingObserver observer;
    struct Stop {};
    observer.onCheckpoint = [&] {
        if (observer.checkpoints == c.stopAtCheckpoint)
            throw Stop{};
    };
    ExtractResult result = ExtractResult::Done;
    try {
        result = ExtractPayload(payload, u"p", dir.Path(), observer, c.mode);
    } catch (const Stop&) {
        result = static_cast<ExtractResult>(99);
    }
    return {result, observer.events, observer.checkpoints, observer.blocks, observer.removed, ListTree(dir.Path())};
}

TEST(ExtractionPipeline, ReadingAheadChangesNothingTheRunShows)
{
    const auto data = Bytes("block data");
    const Case cases[] = {
        {"intact", [](PayloadBuilder& b) { AddTree(b); }},
        {"test mode", [](PayloadBuilder& b) { AddTree(b); }, ExtractMode::Test},
        {"list mode", [](PayloadBuilder& b) { AddTree(b); }, ExtractMode::List},
        {"overwrite question", [](PayloadBuilder& b) { AddTree(b); }, ExtractMode::Extract, 0, true},
        {"stopped at a checkpoint in the big file",
         [](PayloadBuilder& b) { AddTree(b); }, ExtractMode::Extract, 84},
        {"damaged block, then more records",
         [&](PayloadBuilder& b) {
             AddTree(b);
             PayloadBuilder::FileFields fields;
             fields.name = u"bad";
             fields.size = data.size();
             fields.blockCount = 1;
             b.FileRecord(fields).Block(Crc32Of(data) ^ 1, Deflate(data, 6)).File(u"after", data);
         }},
        {"bad record CRC after the tree",
         [](PayloadBuilder& b) {
             AddTree(b);
             b.DirRecord(u"broken", true).File(u"after", Bytes("x"));
         }},
        {"cut inside a folder",
         [](PayloadBuilder& b) {
             AddTree(b);
             b.EnterDir(u"open").File(u"last", Bytes("x"));
         }},
        {"unknown record type", [](PayloadBuilder& b) { AddTree(b); b.TypeByte(9); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PayloadBuilder builder(CipherAes256, u"p");
        c.build(builder);
        const Outcome free = RunCase(c, builder.Bytes());
        Outcome pinned;
        {
            PinnedToOneProcessor pin;
            pinned = RunCase(c, builder.Bytes());
        }
        EXPECT_EQ(free.result, pinned.result);
        EXPECT_EQ(free.events, pinned.events);
        EXPECT_EQ(free.checkpoints, pinned.checkpoints);
        EXPECT_EQ(free.blocks, pinned.blocks);
        EXPECT_EQ(free.removed, pinned.removed);
        EXPECT_EQ(free.tree, pinned.tree);
        EXPECT_GT(free.events.size(), 40U);
    }
}

// The module's dialog releases the state from its own thread while the run
// is held at a checkpoint; the reader may be anywhere ahead of it then.
TEST(ExtractionPipeline, StateReleasedWhileTheRunIsHeld)
{
    PayloadBuilder builder(CipherAes256, u"p");
    AddTree(builder);
    const MemoryPayloadArchive archive(builder.Bytes());
    TempDir dir;
    const auto fileSystem = MakeNativeExtractFileSystem();
    const std::u16string destination = U16(dir.Path());
    ExtractState state;
    RecordingObserver observer;
    std::promise<void> held;
    std::promise<void> released;
    std::shared_future<void> releasedFuture = released.get_future().share();
    struct Stop {};
    observer.onCheckpoint = [&] {
        if (observer.checkpoints != 5)
            return;
        held.set_value();
        releasedFuture.wait();
        throw Stop{}; // a held run never resumes
    };
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = LoadLe16(builder.Bytes().data());
    input.passphrase = u"p";
    input.destination = destination;
    input.fileSystem = fileSystem.get();
    input.observer = &observer;
    std::thread run([&] { EXPECT_THROW(RunExtraction(state, input), Stop); });
    held.get_future().wait();
    ReleaseExtractState(state);
    released.set_value();
    run.join();
    EXPECT_EQ(observer.checkpoints, 5U);
    EXPECT_EQ(ListTree(dir.Path()), (std::vector<std::string>{"one/", "one/smalla0"}));
}

} // namespace
