// The process's random pool: seeded by the load constructor (the library
// refuses to run unseeded), wiped at unload, and the IQ_RndGetBytes export.

#include "core/process_pool.h"

#include "core/export_guard.h"
#include "core/random_pool.h"

namespace {

constinit RandomPool g_pool;

[[gnu::constructor]] void SeedAtLoad()
{
    SeedPoolOrExit(g_pool, &PollSystemEntropy);
}

[[gnu::destructor]] void WipeAtUnload()
{
    g_pool.Teardown();
}

} // namespace

CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length)
{
    return g_pool.GetBytes(buffer, length);
}

extern "C" IVQA_API CoreResult IQ_RndGetBytes(void* buffer, uint32_t length)
{
    return GuardExport([&] { return g_pool.GetBytes(static_cast<std::uint8_t*>(buffer), length); });
}
