// The parallel writer (walks that read ahead, blocks made on helpers)
// against the writer that does everything on the caller's thread: the same
// archive byte for byte and the same callbacks, helpers that exist only
// while an export runs, and well-formed records for files that change
// after they were read ahead.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/archive_entries.h"
#include "core/block_pipeline.h"
#include "core/process_pool.h"
#include "core/sda_init.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sodium.h>

// The pool of this test program: fixed bytes, so that two archives of one
// input share IV and salt and can be compared whole.
CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i)
        buffer[i] = static_cast<std::uint8_t>(37 * i + 11);
    return IQ_OK;
}

namespace {

// The authenticated stream draws its header from libsodium: fixed bytes
// here too, installed before libsodium is first initialised.
void FixedBytes(void* buffer, std::size_t size)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(13 * i + 5);
}
std::uint32_t FixedWord()
{
    return 0x5EED;
}
randombytes_implementation g_fixedRandom = {
    [] { return "fixed"; }, &FixedWord, nullptr, nullptr, &FixedBytes, nullptr,
};
[[maybe_unused]] const int g_fixedRandomInstalled = [] {
    ::setenv("IVQA_KDF_COST", "floor", 1);
    return randombytes_set_implementation(&g_fixedRandom);
}();
constexpr std::uint32_t LastCipher = CipherXChaCha20Poly1305;

struct Entry {
    std::string path;
    bool directory;
    int level;
};

struct Written {
    std::vector<std::uint8_t> payload;
    std::vector<std::string> events;
    CoreResult result = IQ_OK;
};

// Writes the entries through the library's insides, parallel or not, the
// way the exports do. Each skip event is followed by the errno the skip
// callback saw, which the command line turns into its reason.
Written WriteEntries(const std::string& archive, std::uint32_t cipherId, bool parallel,
                     const std::vector<Entry>& entries, std::int32_t skipAnswer = 1)
{
    WriterSession stub(archive); // only lays down the module stand-in
    CallbackLog log;
    log.skipAnswer = skipAnswer;
    log.onEvent = [&](const std::string& event) {
        if (event.rfind("skip:", 0) == 0)
            log.events.push_back(std::string("errno:") + std::strerror(errno));
    };
    CoreResult result = IQ_OK;
    {
        const Callbacks callbacks = RecordingCallbacks();
        SdaContext context(callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
        context.parallel = parallel;
        EXPECT_EQ(InitArchive(context, U16(archive).c_str(), u"pass", nullptr, cipherId, u"help"), IQ_OK);
        for (const Entry& entry : entries) {
            const EntryName name = CallerEntryName(U16(entry.path).c_str());
            result = AddCallerEntry(context, AT_FDCWD, name, entry.level, entry.directory);
            if (result != IQ_OK)
                break;
        }
    }
    return {stub.Payload(), log.events, result};
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

// A walk the helpers can run ahead in: many small files in several
// folders, files of several blocks, and entries the walk must ask about:
// a dangling link, a FIFO, a file and a folder it may not open.
void MakeMixedTree(const std::string& root)
{
    MakeDir(root);
    for (int folder = 0; folder < 4; ++folder) {
        const std::string sub = root + "/sub" + std::to_string(folder);
        MakeDir(sub);
        for (int file = 0; file < 12; ++file)
            WriteFile(sub + "/f" + std::to_string(file),
                      TextWithRandomTail(100 + 997 * file, file % 3 == 0 ? 50 : 0, 17 * folder + file));
    }
    WriteFile(root + "/sub1/two.bin", TextWithRandomTail(BlockSize + 1, 0, 1));
    WriteFile(root + "/sub2/three.bin", TextWithRandomTail(2 * BlockSize + 1000, 1000, 2));
    WriteFile(root + "/empty", std::string());
    MakeSymlink("nowhere", root + "/dangling");
    ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0644), 0);
    WriteFile(root + "/sub3/locked.txt", std::string("locked"));
    ASSERT_EQ(::chmod((root + "/sub3/locked.txt").c_str(), 0), 0);
    MakeDir(root + "/sub0/closed");
    WriteFile(root + "/sub0/closed/inside", std::string("inside"));
    ASSERT_EQ(::chmod((root + "/sub0/closed").c_str(), 0), 0);
}

void ExpectSameArchive(const Written& parallel, const Written& serial)
{
    EXPECT_EQ(parallel.result, serial.result);
    EXPECT_EQ(parallel.events, serial.events);
    ASSERT_EQ(parallel.payload.size(), serial.payload.size());
    const auto mismatch = std::mismatch(parallel.payload.begin(), parallel.payload.end(), serial.payload.begin());
    EXPECT_TRUE(mismatch.first == parallel.payload.end())
        << "first difference at payload byte " << (mismatch.first - parallel.payload.begin());
}

} // namespace

TEST(WriterParallel, WritesTheBytesAndCallbacksOfTheSerialWriterForEveryCipher)
{
    // Files of one to three blocks, short last blocks, incompressible
    // tails, levels that change from entry to entry, and a folder walk with
    // skipped and unreadable entries; as nobody, so that the permissions
    // hold. The skip answers: yes to all, then no at the first question,
    // which ends the walk at the same entry both ways.
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    RunUnprivileged([&] {
        const std::string tree = dir / "tree";
        MakeMixedTree(tree);
        WriteFile(dir / "one.bin", TextWithRandomTail(BlockSize, 4096, 3));
        WriteFile(dir / "stored.bin", TextWithRandomTail(70000, 0, 4));
        WriteFile(dir / "dense.bin", TextWithRandomTail(BlockSize + 9, 0, 5));
        const std::vector<Entry> entries = {
            {dir / "stored.bin", false, 0},
            {tree, true, 6},
            {dir / "dense.bin", false, 9},
            {tree + "/sub2", true, 1},
            {dir / "one.bin", false, 7},
        };
        for (std::uint32_t cipherId = 0; cipherId <= LastCipher; ++cipherId) {
            SCOPED_TRACE("cipher " + std::to_string(cipherId));
            const Written serial = WriteEntries(dir / "archive.run", cipherId, false, entries);
            const Written parallel = WriteEntries(dir / "archive.run", cipherId, true, entries);
            ExpectSameArchive(parallel, serial);
            EXPECT_EQ(std::count(serial.events.begin(), serial.events.end(), "errno:Permission denied"), 2);

            if (cipherId >= CipherCount)
                continue; // the test reader knows the feedback ciphers only
            const ParsedArchive archive = ReadArchive(parallel.payload, u"pass");
            EXPECT_EQ(archive.Find(u"dense.bin").data, ReadFile(dir / "dense.bin"));
            EXPECT_EQ(archive.Find(u"three.bin").data, ReadFile(tree + "/sub2/three.bin"));
        }
        for (const std::uint32_t cipherId : {std::uint32_t{CipherAes256}, LastCipher}) {
            SCOPED_TRACE("skip refused, cipher " + std::to_string(cipherId));
            const Written serial = WriteEntries(dir / "archive.run", cipherId, false, entries, 0);
            const Written parallel = WriteEntries(dir / "archive.run", cipherId, true, entries, 0);
            EXPECT_NE(serial.result, IQ_OK);
            ExpectSameArchive(parallel, serial);
        }
    });
}

TEST(WriterParallel, HelpersLiveOnlyWhileAnExportRuns)
{
    // At the first step the helpers (and a walk's planner) are there, the
    // blocks after it still being made; with one core, or parallel off,
    // none. After the call every one of them has been joined.
    TempDir dir;
    WriteFile(dir / "four.bin", SampleBytes(4 * BlockSize, 5));
    MakeDir(dir / "tree");
    // More whole blocks than can be in flight: the planner is still there
    // at the first step, waiting for room.
    for (int i = 0; i < 4; ++i)
        WriteFile(dir / ("tree/f" + std::to_string(i)), SampleBytes(2 * BlockSize, i));
    const unsigned helpers = UsableHelpers();
    struct Case {
        const char* what;
        bool directory;
        bool parallel;
        std::size_t extraThreads;
    };
    const Case cases[] = {
        {"file, parallel", false, true, helpers},
        {"file, serial", false, false, 0},
        {"walk, parallel", true, true, helpers > 0 ? helpers + 1 : 0},
        {"walk, serial", true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriterSession stub(dir / "archive.run");
        CallbackLog log;
        std::vector<std::size_t> threadsAtSteps;
        log.onEvent = [&](const std::string& event) {
            if (event == "step")
                threadsAtSteps.push_back(ThreadCount());
        };
        const Callbacks callbacks = RecordingCallbacks();
        SdaContext context(callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
        context.parallel = c.parallel;
        ASSERT_EQ(InitArchive(context, U16(dir / "archive.run").c_str(), u"pass", nullptr, CipherRc4, nullptr),
                  IQ_OK);
        const std::size_t before = ThreadCount();
        const std::string path = c.directory ? dir / "tree" : dir / "four.bin";
        ASSERT_EQ(AddCallerEntry(context, AT_FDCWD, CallerEntryName(U16(path).c_str()), 0, c.directory), IQ_OK);
        ASSERT_FALSE(threadsAtSteps.empty());
        EXPECT_EQ(threadsAtSteps[0], before + c.extraThreads);
        EXPECT_TRUE(ThreadCountSettlesAt(before));
    }
}

TEST(WriterParallel, FilesChangingAfterTheyWereReadAheadGiveWellFormedRecords)
{
    // When the caller's thread reports the range of the second file, the
    // planner has queried it and the helpers may have read it, and the
    // files after it, in part or whole; now they all change size. Whatever
    // was read when, each record keeps the size and block count its file
    // was queried with and each block stays within the block size; a file
    // queried only after the change is recorded as it is then.
    TempDir dir;
    const std::string tree = dir / "tree";
    MakeDir(tree);
    const std::size_t queried = 2 * BlockSize + 5;
    for (int i = 0; i < 6; ++i)
        WriteFile(tree + "/f" + std::to_string(i), SampleBytes(queried, i));
    const std::vector<std::string> order = ListingOrder(tree);
    const std::vector<std::size_t> resizes = {0, 4 * BlockSize, 100, 0, BlockSize + 3, 3 * BlockSize};

    CallbackLog log;
    bool changed = false;
    log.onEvent = [&](const std::string& event) {
        if (changed || event.rfind("range:", 0) != 0 || log.Count("range:") != 2)
            return;
        changed = true;
        for (std::size_t k = 1; k < order.size(); ++k)
            ASSERT_EQ(::truncate((tree + "/" + order[k]).c_str(), static_cast<off_t>(resizes[k])), 0);
    };
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
    ASSERT_EQ(session.AddDir(tree, 1), IQ_OK);
    session.Final();
    EXPECT_TRUE(changed);

    const ParsedArchive archive = session.Read(); // checks every CRC and stream
    for (std::size_t k = 0; k < order.size(); ++k) {
        SCOPED_TRACE(order[k]);
        const ArchiveRecord& record = archive.Find(U16(order[k]));
        if (k <= 1) {
            EXPECT_EQ(record.size, queried);
        } else {
            EXPECT_TRUE(record.size == queried || record.size == resizes[k]) << record.size;
        }
        EXPECT_EQ(record.blockCount, BlockCount(record.size));
        EXPECT_EQ(record.blockLengths.size(), record.blockCount);
        for (const std::uint32_t length : record.blockLengths)
            EXPECT_LE(length, BlockSize);
    }
    EXPECT_EQ(archive.Find(U16(order[0])).data, ReadFile(tree + "/" + order[0]));
}
