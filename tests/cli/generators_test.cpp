// The passphrase table, its shuffle and the keyfile writer, over a random
// source that records every request.

#include "common/char_table.h"
#include "common/keyfile_writer.h"
#include "module_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <sys/stat.h>

namespace {

// Fills each request with 0, 1, 2, ... and fails the request numbered
// `failAt` (counting from 0), if any.
struct RecordingSource {
    static inline std::vector<std::uint32_t> requests;
    static inline int failAt = -1;
    static inline std::uint8_t next = 0;

    static void Reset(int failing = -1)
    {
        requests.clear();
        failAt = failing;
        next = 0;
    }
    static std::uint32_t Draw(void* buffer, std::uint32_t length)
    {
        requests.push_back(length);
        if (static_cast<int>(requests.size()) - 1 == failAt)
            return 7;
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        for (std::uint32_t i = 0; i < length; ++i)
            bytes[i] = next++;
        return 0;
    }
};

std::string TableText(const CharTable& table)
{
    return {table.Entries().begin(), table.Entries().end()};
}

TEST(CharTable, StartsWithThePrintableSequenceTwiceAndAThirdPart)
{
    const CharTable table;
    const std::string sequence =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    ASSERT_EQ(sequence.size(), 94u);
    EXPECT_EQ(TableText(table), sequence + sequence + sequence.substr(0, 68));
    EXPECT_EQ(table.Entries()[255], '&');
}

TEST(CharTable, ShuffleOnlyPermutesAndFollowsTheKeyedSwaps)
{
    CharTable table;
    const std::string before = TableText(table);
    RecordingSource::Reset();
    ASSERT_TRUE(table.Shuffle(&RecordingSource::Draw));
    EXPECT_EQ(RecordingSource::requests, std::vector<std::uint32_t>{256});

    // The same swaps worked out here with K[i] = i.
    std::string expected = before;
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + static_cast<std::uint8_t>(expected[i]) + i);
        std::swap(expected[i], expected[j]);
    }
    EXPECT_EQ(TableText(table), expected);
    EXPECT_NE(TableText(table), before);

    std::map<char, int> counts;
    for (const char c : TableText(table))
        ++counts[c];
    ASSERT_EQ(counts.size(), 94u);
    for (const auto& [c, count] : counts)
        EXPECT_EQ(count, before.find(c) < 68 ? 3 : 2) << c;
}

TEST(CharTable, FailedShuffleLeavesTheTable)
{
    CharTable table;
    const std::string before = TableText(table);
    RecordingSource::Reset(0);
    EXPECT_FALSE(table.Shuffle(&RecordingSource::Draw));
    EXPECT_EQ(TableText(table), before);
}

TEST(CharTable, PassphraseLooksUpOneRandomByteEachFromOneRequestOf64)
{
    const CharTable table;
    char out[64] = {};
    RecordingSource::Reset();
    ASSERT_TRUE(table.Generate(&RecordingSource::Draw, 16, out));
    EXPECT_EQ(RecordingSource::requests, std::vector<std::uint32_t>{64});
    EXPECT_EQ(std::string(out, 16), "ABCDEFGHIJKLMNOP");

    RecordingSource::Reset(0);
    EXPECT_FALSE(table.Generate(&RecordingSource::Draw, 16, out));
    for (const std::size_t length : {std::size_t{5}, std::size_t{65}})
        EXPECT_FALSE(table.Generate(&RecordingSource::Draw, length, out)) << length;
}

TEST(KeyfileWriter, WritesTheSizeIn256ByteRequestsAndOneForTheRest)
{
    const struct {
        std::uint32_t size;
        std::vector<std::uint32_t> requests;
    } cases[] = {
        {1000, {256, 256, 256, 232}},
        {1024, {256, 256, 256, 256}},
        {64, {64}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir / ("key" + std::to_string(c.size));
        RecordingSource::Reset();
        ASSERT_EQ(WriteKeyfile(path, c.size, &RecordingSource::Draw), KeyfileResult::Ok);
        EXPECT_EQ(RecordingSource::requests, c.requests) << c.size;
        const auto bytes = ReadFile(path);
        ASSERT_EQ(bytes.size(), c.size);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], static_cast<std::uint8_t>(i)) << "byte " << i << " of " << c.size;
    }
}

TEST(KeyfileWriter, ReplacesAFileAndMakesItPrivate)
{
    TempDir dir;
    const std::string path = dir / "key";
    WriteFile(path, std::string(5000, 'x'));
    ::chmod(path.c_str(), 0644);
    RecordingSource::Reset();
    ASSERT_EQ(WriteKeyfile(path, 100, &RecordingSource::Draw), KeyfileResult::Ok);
    EXPECT_EQ(ReadFile(path).size(), 100u);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
}

TEST(KeyfileWriter, FailuresLeaveNoShortKeyfile)
{
    TempDir dir;
    const std::string path = dir / "key";
    RecordingSource::Reset(2);
    EXPECT_EQ(WriteKeyfile(path, 1000, &RecordingSource::Draw), KeyfileResult::RandomFailed);
    EXPECT_EQ(RecordingSource::requests.size(), 3u) << "no request after the failed one";
    EXPECT_TRUE(ListTree(dir.Path()).empty());

    RecordingSource::Reset();
    EXPECT_EQ(WriteKeyfile(dir / "missing/key", 100, &RecordingSource::Draw), KeyfileResult::CannotCreate);
    EXPECT_EQ(WriteKeyfile(dir.Path(), 100, &RecordingSource::Draw), KeyfileResult::CannotCreate);
}

// A device or pipe named as the output is written to, never made private
// or removed.
TEST(KeyfileWriter, LeavesAPipeItWritesToInPlace)
{
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    RecordingSource::Reset(2);
    EXPECT_EQ(WriteKeyfile(fifo, 1000, &RecordingSource::Draw), KeyfileResult::RandomFailed);
    struct stat status {};
    ASSERT_EQ(::stat(fifo.c_str(), &status), 0) << "the pipe is still there";
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    char received[1024];
    EXPECT_EQ(::read(reader, received, sizeof received), 512);
    ::close(reader);
}

} // namespace
