#pragma once
// Records every block SecureFree returns to the heap while it is alive, so a
// test can see what a released state left behind.

#include "platform/secure_memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class FreedBlockRecorder {
public:
    FreedBlockRecorder()
    {
        Blocks().clear();
        SetSecureFreeObserver(&Record);
    }
    ~FreedBlockRecorder() { SetSecureFreeObserver(nullptr); }
    FreedBlockRecorder(const FreedBlockRecorder&) = delete;
    FreedBlockRecorder& operator=(const FreedBlockRecorder&) = delete;

    static std::vector<std::vector<std::uint8_t>>& Blocks()
    {
        static std::vector<std::vector<std::uint8_t>> blocks;
        return blocks;
    }

private:
    static void Record(const void* memory, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(memory);
        Blocks().emplace_back(bytes, bytes + size);
    }
};

inline std::size_t NonZeroBytes(const std::vector<std::uint8_t>& block)
{
    return static_cast<std::size_t>(std::count_if(block.begin(), block.end(),
                                                  [](std::uint8_t b) { return b != 0; }));
}
