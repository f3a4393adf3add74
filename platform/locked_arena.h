#pragma once
// Locked memory that is reused instead of being locked anew for every use:
// whole pages carved from a few regions, each locked and kept out of crash
// dumps once. A block that is given back is wiped and kept for the next
// request of its page count, so a run that allocates the same states and
// buffers again and again makes no system call after the first.

#include <cstddef>

// Zero-filled whole pages for `size` bytes; null when the arena cannot serve
// the size (too large, or its tables are full): the caller then allocates
// pages of its own.
void* ArenaAllocate(std::size_t size);

// Returns a block from ArenaAllocate of the same size: its first `size` bytes
// are wiped (the rest of its pages was never handed out). False when the
// block is not the arena's. `observer`, when set, sees the whole pages after
// the wipe.
using ArenaObserver = void (*)(const void* memory, std::size_t size);
bool ArenaRelease(void* memory, std::size_t size, ArenaObserver observer);

// Wipes, unlocks and returns every region to the system once no block is in
// use (otherwise nothing: the owners wipe their blocks when they end). Later
// requests start a new region.
void ArenaReleaseAll();
