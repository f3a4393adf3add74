#include "platform/secure_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> g_seen;

void Observe(const void* memory, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(memory);
    g_seen.assign(bytes, bytes + size);
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
