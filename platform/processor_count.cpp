#include "platform/processor_count.h"

#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

unsigned UsableProcessorCount()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        return count > 0 ? static_cast<unsigned>(count) : 1U;
    }
#endif
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1U;
}
