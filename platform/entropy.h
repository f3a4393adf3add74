#pragma once
// The system state the random pool is seeded from. Each poll hands every
// item to `sink` exactly as the kernel returns it; the pool hashes them.
// A poll fails only when a source that must exist cannot be read.

#include <cstddef>
#include <cstdint>

using EntropySink = void (*)(void* context, const void* data, std::size_t length);

// /proc/net/dev when readable, then the stat and statm records of every
// process. Fails when /proc cannot be listed or no process can be read.
bool PollProcesses(EntropySink sink, void* context);

// /proc/net/snmp when readable, then the stat record of every thread of
// every process. Fails when no thread can be read.
bool PollThreads(EntropySink sink, void* context);

// The calling process itself: its mappings, its memory summary and the
// allocator's statistics. Fails when the mappings cannot be read.
bool PollOwnProcess(EntropySink sink, void* context);

// Every clock, resource usage of process and thread, system and memory
// state, the process ids, the cycle counter and 64 bytes of getrandom.
bool PollTimesAndCounters(EntropySink sink, void* context);

inline constexpr std::size_t TimeVectorLength = 16;

// CLOCK_REALTIME as seconds and nanoseconds, 8 bytes each.
void ReadTimeVector(std::uint8_t* out);
