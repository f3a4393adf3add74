// Where a Gutmann repetition's random values go, and what a failed draw
// leaves behind: the engine run against a random source the test controls.

#include "core/file_wiper.h"
#include "core/process_pool.h"
#include "wipe_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Draws left before the source fails; each draw gives its number times 0x10
// plus 1 to 8.
int g_drawsLeft = 0;
int g_drawsMade = 0;

} // namespace

CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length)
{
    if (g_drawsLeft-- <= 0)
        return IQ_RANDOM_ERROR;
    ++g_drawsMade;
    for (std::uint32_t i = 0; i < length; ++i)
        buffer[i] = static_cast<std::uint8_t>(g_drawsMade * 0x10 + i + 1);
    return IQ_OK;
}

namespace {

struct GutmannRun {
    std::unique_ptr<WipeContext> context;
    CoreResult result;
    std::vector<int> values;
};

GutmannRun WipeWithDraws(const std::string& path, int draws)
{
    g_drawsLeft = draws;
    g_drawsMade = 0;
    CallbackRecorder recorder;
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    recorder.reader = reader;
    GutmannRun run;
    run.context = std::make_unique<WipeContext>(2, WipeMethod::Gutmann, RecordName, RecordRange, RecordStep,
                                                RecordSkip);
    FileWiper wiper(*run.context);
    EntryName entry;
    entry.path = path;
    entry.display = U16(path);
    run.result = wiper.Remove(AT_FDCWD, entry, nullptr);
    run.values = recorder.writtenValues;
    ::close(reader);
    return run;
}

TEST(GutmannRandomValues, EachRepetitionWritesItsOwnDrawInTableOrder)
{
    TempDir scratch;
    const std::string path = scratch / "victim.bin";
    WriteFile(path, SampleBytes(10, 1));

    const GutmannRun run = WipeWithDraws(path, 2);

    ASSERT_EQ(run.result, IQ_OK);
    ASSERT_EQ(run.values.size(), 70U);
    const int slots[] = {0, 1, 2, 3, 31, 32, 33, 34};
    for (int repetition = 0; repetition < 2; ++repetition)
        for (int r = 0; r < 8; ++r)
            EXPECT_EQ(run.values[35 * repetition + slots[r]], (repetition + 1) * 0x10 + r + 1)
                << "repetition " << repetition << " r" << r;
    EXPECT_TRUE(std::all_of(run.context->pattern.begin(), run.context->pattern.end(),
                            [](std::uint8_t byte) { return byte == 0; }))
        << "the pattern buffer still holds a random value";
    EXPECT_FALSE(Exists(path));
}

TEST(GutmannRandomValues, FailedDrawEndsTheRunAndKeepsThePartlyWipedFile)
{
    TempDir scratch;
    const std::string path = scratch / "victim.bin";
    WriteFile(path, SampleBytes(10, 1));

    const GutmannRun run = WipeWithDraws(path, 1);

    EXPECT_EQ(run.result, IQ_RANDOM_ERROR);
    EXPECT_EQ(run.values.size(), 35U);
    EXPECT_FALSE(run.context->file) << "the file is still held";
    EXPECT_EQ(ReadFile(path), std::vector<std::uint8_t>(PatternBytes, 0x10 + 8));
}

} // namespace
