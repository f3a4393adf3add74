// IQ_RndGetBytes through the library, seeded by its load constructor.

#include "ivqa.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

TEST(RndGetBytes, FillsExactlyTheRequestedLength)
{
    for (const std::uint32_t length : {0U, 1U, 64U, 65U, 200U}) {
        SCOPED_TRACE(length);
        std::vector<std::uint8_t> buffer(length + 16, 0xCC);
        ASSERT_EQ(IQ_RndGetBytes(buffer.data(), length), IQ_OK);
        for (std::size_t i = length; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0xCC) << "byte " << i << " was written";
        std::size_t untouched = 0;
        for (std::size_t i = 0; i < length; ++i)
            untouched += buffer[i] == 0xCC;
        EXPECT_LT(untouched, 4U + length / 32);
    }
    EXPECT_EQ(IQ_RndGetBytes(nullptr, 0), IQ_OK);
    EXPECT_EQ(IQ_RndGetBytes(nullptr, 1), IQ_RANDOM_ERROR);
}

TEST(RndGetBytes, CallsInQuickSuccessionDiffer)
{
    std::uint8_t first[16];
    std::uint8_t second[16];
    ASSERT_EQ(IQ_RndGetBytes(first, sizeof first), IQ_OK);
    ASSERT_EQ(IQ_RndGetBytes(second, sizeof second), IQ_OK);
    EXPECT_NE(std::vector<std::uint8_t>(first, first + 16), std::vector<std::uint8_t>(second, second + 16));
}

TEST(RndGetBytes, ConcurrentCallersEachGetTheirOwnBytes)
{
    constexpr int Threads = 4;
    constexpr int Calls = 200;
    std::vector<std::vector<std::vector<std::uint8_t>>> outputs(Threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&outputs, t] {
            for (int call = 0; call < Calls; ++call) {
                std::vector<std::uint8_t> bytes(24);
                if (IQ_RndGetBytes(bytes.data(), 24) == IQ_OK)
                    outputs[t].push_back(bytes);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    std::set<std::vector<std::uint8_t>> distinct;
    for (const auto& perThread : outputs) {
        EXPECT_EQ(perThread.size(), static_cast<std::size_t>(Calls));
        distinct.insert(perThread.begin(), perThread.end());
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(Threads * Calls));
}
