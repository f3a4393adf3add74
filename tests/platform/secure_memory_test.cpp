#include "platform/locked_buffer.h"
#include "platform/secure_memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::uint8_t> g_seen;

void Observe(const void* memory, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(memory);
    g_seen.assign(bytes, bytes + size);
}

// Locked memory of this process in kB, as the kernel counts it.
long LockedKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmLck:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

TEST(SecureMemory, AllocationIsZeroedAndFreedWiped)
{
    auto* block = static_cast<std::uint8_t*>(SecureAlloc(100));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(block[i], 0);
    std::memset(block, 0xA5, 100);

    SetSecureFreeObserver(&Observe);
    SecureFree(block, 100);
    SetSecureFreeObserver(nullptr);

    ASSERT_GE(g_seen.size(), 100U);
    for (std::uint8_t byte : g_seen)
        ASSERT_EQ(byte, 0);
}

// Every block a LockedBuffer owned comes back wiped, exactly once, also after
// moves and a replacement; a moved-from owner frees nothing.
TEST(SecureMemory, LockedBufferFreesEachBlockOnceAndWiped)
{
    static std::vector<std::vector<std::uint8_t>> freed;
    freed.clear();
    SetSecureFreeObserver([](const void* memory, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(memory);
        freed.emplace_back(bytes, bytes + size);
    });
    {
        LockedBuffer<char16_t> first(300);
        ASSERT_EQ(first.size(), 300U);
        for (std::size_t i = 0; i < first.size(); ++i)
            ASSERT_EQ(first[i], u'\0');
        std::fill(first.data(), first.data() + first.size(), u'x');
        LockedBuffer<char16_t> moved(std::move(first));
        EXPECT_EQ(first.data(), nullptr);
        EXPECT_EQ(moved[299], u'x');
        moved = LockedCopy(std::u16string_view(u"secret"));
        EXPECT_EQ(std::u16string_view(moved.data(), moved.size()), u"secret");
        EXPECT_EQ(freed.size(), 1U) << "the replaced block";
    }
    SetSecureFreeObserver(nullptr);
    ASSERT_EQ(freed.size(), 2U);
    for (const auto& block : freed)
        for (std::uint8_t byte : block)
            ASSERT_EQ(byte, 0);
}

TEST(SecureMemory, CallerBufferIsWipedOnUnlock)
{
    std::uint8_t buffer[64];
    std::memset(buffer, 0x5A, sizeof buffer);
    SecureLock(buffer, sizeof buffer);
    SecureWipeAndUnlock(buffer, sizeof buffer);
    for (std::uint8_t byte : buffer)
        EXPECT_EQ(byte, 0);
}

TEST(SecureMemory, NullIsAccepted)
{
    SecureFree(nullptr, 10);
    SecureLock(nullptr, 10);
    SecureWipeAndUnlock(nullptr, 10);
}

// Page locks do not nest, so two buffers on one page must not unlock each
// other: the page stays locked until the last of them is released.
TEST(SecureMemory, PageSharedByTwoBuffersStaysLockedUntilBothAreReleased)
{
    const long page = sysconf(_SC_PAGESIZE);
    auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(page, page));
    ASSERT_NE(memory, nullptr);
    const long before = LockedKilobytes();

    SecureLock(memory, 64);
    if (LockedKilobytes() == before) {
        std::free(memory);
        GTEST_SKIP() << "mlock is not permitted here";
    }
    SecureLock(memory + 128, 64);
    EXPECT_EQ(LockedKilobytes(), before + page / 1024);

    SecureWipeAndUnlock(memory, 64);
    EXPECT_EQ(LockedKilobytes(), before + page / 1024) << "the other buffer's page was unlocked";
    SecureWipeAndUnlock(memory + 128, 64);
    EXPECT_EQ(LockedKilobytes(), before);
    std::free(memory);
}

// Blocks come back from the arena for the next request of their page count:
// a reused block must be as zero as a fresh one over all its pages, and
// using it again must lock nothing more.
TEST(SecureMemory, ReusedBlocksAreZeroAndLockNothingMore)
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    struct Case {
        std::size_t written; // what the first use allocates and fills
        std::size_t reused;  // what the next use asks for: same page count
    };
    const Case cases[] = {
        {1, page},
        {100, 200},
        {page + 1, 2 * page},
        {1024 * 1024 + 5, 1024 * 1024 + 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        auto* first = static_cast<std::uint8_t*>(SecureAlloc(c.written));
        ASSERT_NE(first, nullptr);
        std::memset(first, 0xC3, c.written);
        SecureFree(first, c.written);
        const long locked = LockedKilobytes();

        for (int use = 0; use < 50; ++use) {
            auto* block = static_cast<std::uint8_t*>(SecureAlloc(c.reused));
            ASSERT_NE(block, nullptr);
            const std::size_t pages = (c.reused + page - 1) / page * page;
            for (std::size_t i = 0; i < pages; ++i)
                ASSERT_EQ(block[i], 0) << "byte " << i << " of use " << use;
            std::memset(block, 0x3C, c.reused);
            SecureFree(block, c.reused);
        }
        EXPECT_EQ(LockedKilobytes(), locked);
    }
}

// Hash states, cipher contexts and zlib's windows are allocated from several
// threads at once.
TEST(SecureMemory, ThreadsShareTheArena)
{
    std::vector<std::thread> threads;
    std::atomic<int> faults{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&faults, t] {
            for (int i = 0; i < 2000; ++i) {
                const std::size_t size = 64 + 1000 * ((i + t) % 5);
                auto* block = static_cast<std::uint8_t*>(SecureAlloc(size));
                if (block == nullptr || block[size - 1] != 0) {
                    ++faults;
                    return;
                }
                std::memset(block, t + 1, size);
                if (block[0] != t + 1)
                    ++faults;
                SecureFree(block, size);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(faults.load(), 0);
}
