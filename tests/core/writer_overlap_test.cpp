// The overlapped writer against the writer that makes every block on the
// caller's thread: the same archive byte for byte, the same callbacks, and a
// helper thread that exists only while a file's blocks are being written.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/archive_entries.h"
#include "core/process_pool.h"
#include "core/sda_init.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <fcntl.h>

// The pool of this test program: fixed bytes, so that two archives of one
// input share IV and salt and can be compared whole.
CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i)
        buffer[i] = static_cast<std::uint8_t>(37 * i + 11);
    return IQ_OK;
}

namespace {

struct Entry {
    std::string path;
    bool directory;
    int level;
};

struct Written {
    std::vector<std::uint8_t> payload;
    std::vector<std::string> events;
};

// Writes the entries through the library's insides, with the overlap on or
// off, the way the exports do.
Written WriteEntries(const TempDir& dir, std::uint32_t cipherId, bool overlap, const std::vector<Entry>& entries)
{
    WriterSession stub(dir / "archive.run"); // only lays down the module stand-in
    CallbackLog log;
    {
        const Callbacks callbacks = RecordingCallbacks();
        SdaContext context(callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
        context.overlapBlocks = overlap;
        EXPECT_EQ(InitArchive(context, U16(dir / "archive.run").c_str(), u"pass", nullptr, cipherId, u"help"),
                  IQ_OK);
        for (const Entry& entry : entries) {
            const EntryName name = CallerEntryName(U16(entry.path).c_str());
            EXPECT_EQ(entry.directory ? AddDirEntry(context, AT_FDCWD, name, entry.level)
                                      : AddFileEntry(context, AT_FDCWD, name, entry.level),
                      IQ_OK);
        }
    }
    return {stub.Payload(), log.events};
}

// Mostly text, so that the archive stays small and the ciphers quick, with
// an incompressible tail of `randomTail` bytes.
std::vector<std::uint8_t> TextWithRandomTail(std::size_t length, std::size_t randomTail, std::uint32_t seed)
{
    static const char text[] = "blocks of the archive go through the helper and back ";
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1664525U + 1013904223U;
        const bool random = i + randomTail >= length || i % 97 == 0;
        bytes[i] = random ? static_cast<std::uint8_t>(state >> 24)
                          : static_cast<std::uint8_t>(text[(i + seed) % (sizeof text - 1)]);
    }
    return bytes;
}

} // namespace

TEST(WriterOverlap, WritesTheBytesAndCallbacksOfTheWriterInTurnForEveryCipher)
{
    // Files of one to three blocks, short last blocks, incompressible
    // tails, and levels that change from entry to entry.
    TempDir dir;
    MakeDir(dir / "tree");
    MakeDir(dir / "tree/sub");
    WriteFile(dir / "tree/two.bin", TextWithRandomTail(BlockSize + 1, 0, 1));
    WriteFile(dir / "tree/sub/three.bin", TextWithRandomTail(2 * BlockSize + 1000, 1000, 2));
    WriteFile(dir / "tree/empty", std::string());
    WriteFile(dir / "one.bin", TextWithRandomTail(BlockSize, 4096, 3));
    WriteFile(dir / "stored.bin", TextWithRandomTail(70000, 0, 4));
    WriteFile(dir / "dense.bin", TextWithRandomTail(BlockSize + 9, 0, 5));
    const std::vector<Entry> entries = {
        {dir / "tree", true, 6},
        {dir / "stored.bin", false, 0},
        {dir / "dense.bin", false, 9},
        {dir / "one.bin", false, 7},
        {dir / "tree/sub/three.bin", false, 1},
    };
    for (std::uint32_t cipherId = 0; cipherId < CipherCount; ++cipherId) {
        SCOPED_TRACE("cipher " + std::to_string(cipherId));
        const Written inTurn = WriteEntries(dir, cipherId, false, entries);
        const Written overlapped = WriteEntries(dir, cipherId, true, entries);
        EXPECT_EQ(overlapped.events, inTurn.events);
        ASSERT_EQ(overlapped.payload.size(), inTurn.payload.size());
        const auto mismatch = std::mismatch(overlapped.payload.begin(), overlapped.payload.end(),
                                            inTurn.payload.begin());
        EXPECT_TRUE(mismatch.first == overlapped.payload.end())
            << "first difference at payload byte " << (mismatch.first - overlapped.payload.begin());

        const ParsedArchive archive = ReadArchive(overlapped.payload, u"pass");
        EXPECT_EQ(archive.Find(u"dense.bin").data, ReadFile(dir / "dense.bin"));
        EXPECT_EQ(archive.Find(u"three.bin").data, ReadFile(dir / "tree/sub/three.bin"));
    }
}

TEST(WriterOverlap, HelperRunsOnlyWhileAFileOfSeveralBlocksIsWritten)
{
    // At the first step of a four-block file the helper still has a block
    // to prepare, so it must be there; with the overlap off there is none.
    TempDir dir;
    WriteFile(dir / "four.bin", SampleBytes(4 * BlockSize, 5));
    for (const bool overlap : {true, false}) {
        SCOPED_TRACE(overlap ? "overlapped" : "in turn");
        WriterSession stub(dir / "archive.run");
        CallbackLog log;
        std::vector<std::size_t> threadsAtSteps;
        log.onEvent = [&](const std::string& event) {
            if (event == "step")
                threadsAtSteps.push_back(ThreadCount());
        };
        const Callbacks callbacks = RecordingCallbacks();
        SdaContext context(callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
        context.overlapBlocks = overlap;
        ASSERT_EQ(InitArchive(context, U16(dir / "archive.run").c_str(), u"pass", nullptr, CipherRc4, nullptr),
                  IQ_OK);
        const std::size_t before = ThreadCount();
        ASSERT_EQ(AddFileEntry(context, AT_FDCWD, CallerEntryName(U16(dir / "four.bin").c_str()), 0), IQ_OK);
        ASSERT_EQ(threadsAtSteps.size(), 4U);
        EXPECT_EQ(threadsAtSteps[0], before + (overlap ? 1 : 0));
        EXPECT_TRUE(ThreadCountSettlesAt(before));
    }
}
