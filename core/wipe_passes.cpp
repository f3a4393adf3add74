#include "core/wipe_passes.h"

namespace {

constexpr WipePass Fixed(std::uint8_t value)
{
    return {false, value};
}

constexpr WipePass Random(std::uint8_t index)
{
    return {true, index};
}

constexpr WipePass FastPasses[] = {Fixed(0x00)};

constexpr WipePass DodPasses[] = {Fixed(0x00), Fixed(0xFF), Fixed(0xAA)};

// Where the published sequence has a three-byte pattern, its first byte is
// written throughout; where it has random data, one random byte value.
constexpr WipePass GutmannPasses[] = {
    Random(0),   Random(1),   Random(2),   Random(3),
    Fixed(0x55), Fixed(0xAA), Fixed(0x92), Fixed(0x49), Fixed(0x24),
    Fixed(0x00), Fixed(0x11), Fixed(0x22), Fixed(0x33), Fixed(0x44), Fixed(0x55), Fixed(0x66), Fixed(0x77),
    Fixed(0x88), Fixed(0x99), Fixed(0xAA), Fixed(0xBB), Fixed(0xCC), Fixed(0xDD), Fixed(0xEE), Fixed(0xFF),
    Fixed(0x92), Fixed(0x49), Fixed(0x24), Fixed(0x6D), Fixed(0xB6), Fixed(0xDB),
    Random(4),   Random(5),   Random(6),   Random(7),
};
static_assert(std::size(GutmannPasses) == 35);

} // namespace

std::span<const WipePass> WipePassSequence(WipeMethod method)
{
    switch (method) {
    case WipeMethod::Fast:
        return FastPasses;
    case WipeMethod::Dod522022M:
        return DodPasses;
    case WipeMethod::Gutmann:
        return GutmannPasses;
    }
    return {};
}

bool MethodDrawsRandomValues(WipeMethod method)
{
    return method == WipeMethod::Gutmann;
}
