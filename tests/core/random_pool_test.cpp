// The generator itself, over fixed entropy and a stopped clock, so that its
// block structure shows in the output.

#include "core/random_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

int g_polls = 0;
std::size_t g_flipAt = PollBufferLength;

bool FixedPoll(std::uint8_t* buffer)
{
    ++g_polls;
    std::memset(buffer, 0x5A, PollBufferLength);
    if (g_flipAt < PollBufferLength)
        buffer[g_flipAt] ^= 0x01;
    return true;
}

bool FailingPoll(std::uint8_t*)
{
    return false;
}

void StoppedClock(std::uint8_t* timeVector)
{
    std::memset(timeVector, 0x11, 16);
}

class FixedPool {
public:
    explicit FixedPool(EntropyPoll poll = &FixedPoll) { EXPECT_TRUE(pool_.Setup(poll)); }
    ~FixedPool() { pool_.Teardown(); }
    RandomPool& Pool() { return pool_; }

    std::vector<std::uint8_t> Draw(std::uint32_t length)
    {
        std::vector<std::uint8_t> bytes(length);
        EXPECT_EQ(pool_.GetBytes(bytes.data(), length), IQ_OK);
        return bytes;
    }

    // Several requests, concatenated.
    std::vector<std::uint8_t> Draw(std::initializer_list<std::uint32_t> lengths)
    {
        std::vector<std::uint8_t> all;
        for (const std::uint32_t length : lengths) {
            const std::vector<std::uint8_t> part = Draw(length);
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

private:
    RandomPool pool_{&StoppedClock};
};

} // namespace

TEST(RandomPool, RequestsAreCutFromWhole64ByteBlocks)
{
    // 65 bytes are one full block and the first byte of a second, whose
    // other 63 bytes are dropped; 0 bytes move nothing.
    FixedPool whole;
    const std::vector<std::uint8_t> reference = whole.Draw({65, 64});
    const std::initializer_list<std::uint32_t> splits[] = {{64, 1, 64}, {0, 64, 0, 1, 64}};
    for (const auto& split : splits) {
        FixedPool pool;
        EXPECT_EQ(pool.Draw(split), reference);
    }
    FixedPool different;
    EXPECT_NE(different.Draw({1, 64, 64}), reference);
}

// Lengths near 2^32 end, covered once: a 32-bit count wrapped past them and
// looped for ever with the pool locked. Only the cutting is run, not 4 GiB
// of output.
TEST(RandomPool, LengthsNearTheTopOfTheRangeAreCoveredOnce)
{
    for (const std::uint32_t length : {0xFFFFFFFFU, 0xFFFFFFC1U, 0xFFFFFFC0U}) {
        SCOPED_TRACE(length);
        std::uint64_t covered = 0;
        std::uint64_t lastTake = 0;
        const bool done = ForEachPoolBlock(length, [&](std::uint64_t offset, std::size_t take) {
            if (offset != covered)
                return false;
            covered += take;
            lastTake = take;
            return true;
        });
        EXPECT_TRUE(done);
        EXPECT_EQ(covered, length);
        EXPECT_EQ(lastTake, length % PoolBlockLength == 0 ? PoolBlockLength : length % PoolBlockLength);
    }
}

TEST(RandomPool, SameTimeVectorStillGivesFreshBytes)
{
    FixedPool pool;
    const std::vector<std::uint8_t> first = pool.Draw(64);
    const std::vector<std::uint8_t> second = pool.Draw(64);
    EXPECT_NE(first, second);
}

TEST(RandomPool, EveryDigestOfThePollReachesTheOutput)
{
    g_flipAt = PollBufferLength;
    const std::vector<std::uint8_t> baseline = FixedPool().Draw(64);
    for (const std::size_t digest : {0U, 1U, 2U, 3U}) {
        SCOPED_TRACE(digest);
        g_flipAt = 64 * digest + 17;
        EXPECT_NE(FixedPool().Draw(64), baseline);
    }
    g_flipAt = PollBufferLength;
}

TEST(RandomPool, IsSeededOnce)
{
    g_polls = 0;
    FixedPool once;
    FixedPool twice;
    EXPECT_TRUE(twice.Pool().Setup(&FixedPoll));
    EXPECT_TRUE(twice.Pool().Setup(&FailingPoll));
    EXPECT_EQ(g_polls, 2);
    EXPECT_EQ(twice.Draw(128), once.Draw(128));
}

TEST(RandomPool, UnseededOrTornDownPoolGivesNothing)
{
    RandomPool unseeded(&StoppedClock);
    EXPECT_FALSE(unseeded.Setup(&FailingPoll));
    std::vector<std::uint8_t> bytes(8, 0xCC);
    EXPECT_EQ(unseeded.GetBytes(bytes.data(), 8), IQ_RANDOM_ERROR);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(8, 0xCC));
    EXPECT_EQ(unseeded.GetBytes(bytes.data(), 0), IQ_OK);

    RandomPool pool(&StoppedClock);
    ASSERT_TRUE(pool.Setup(&FixedPoll));
    pool.Teardown();
    EXPECT_EQ(pool.GetBytes(bytes.data(), 8), IQ_RANDOM_ERROR);
}

TEST(RandomPoolDeathTest, FailedSeedingEndsTheProcessWithOneLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RandomPool pool(&StoppedClock);
    EXPECT_EXIT(SeedPoolOrExit(pool, &FailingPoll), ::testing::ExitedWithCode(1), "^ivqa: [^\n]*\n$");
}

TEST(SystemEntropy, PollFillsAllFourDigestsAndChangesEveryTime)
{
    std::uint8_t first[PollBufferLength] = {};
    std::uint8_t second[PollBufferLength] = {};
    ASSERT_TRUE(PollSystemEntropy(first));
    ASSERT_TRUE(PollSystemEntropy(second));
    const std::uint8_t zero[64] = {};
    for (std::size_t digest = 0; digest < 4; ++digest)
        EXPECT_NE(std::memcmp(first + 64 * digest, zero, 64), 0) << "digest " << digest;
    // The times, counters and kernel bytes differ between any two polls.
    EXPECT_NE(std::memcmp(first + 192, second + 192, 64), 0);
}
