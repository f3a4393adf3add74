// The process's random pool: seeded by the load constructor (the library
// refuses to run unseeded), wiped at unload, and the IQ_RndGetBytes export.

#include "core/process_pool.h"

#include "core/export_guard.h"
#include "core/random_pool.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
RandomPool g_pool;
#else
constinit RandomPool g_pool;
#endif

#ifndef _WIN32
[[gnu::constructor]] void SeedAtLoad()
{
    SeedPoolOrExit(g_pool, &PollSystemEntropy);
}

[[gnu::destructor]] void WipeAtUnload()
{
    g_pool.Teardown();
}
#endif

} // namespace

#ifdef _WIN32
// The load notification seeds the pool and refuses the load when it cannot;
// the unload wipes it. Thread notifications do nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        return g_pool.Setup(&PollSystemEntropy) ? TRUE : FALSE;
    if (reason == DLL_PROCESS_DETACH)
        g_pool.Teardown();
    return TRUE;
}
#endif

CoreResult DrawRandomBytes(std::uint8_t* buffer, std::uint32_t length)
{
    return g_pool.GetBytes(buffer, length);
}

extern "C" IVQA_API CoreResult IQ_RndGetBytes(void* buffer, uint32_t length)
{
    return GuardExport([&] { return g_pool.GetBytes(static_cast<std::uint8_t*>(buffer), length); });
}
