#pragma once
// zlib's own allocations (the window, the hash chains, the pending output)
// hold plaintext, and its default allocator returns them to the heap as
// they are, where they outlive the run. With these, zlib gets locked memory
// that is wiped when zlib frees it. The compressed bytes do not depend on
// where zlib's memory comes from.

#include <zlib.h>

// Sets the allocator fields of a cleared stream record, before the Init call.
void UseWipingAllocator(z_stream& stream);
