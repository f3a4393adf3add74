#pragma once
// Memory that holds key material or plaintext: locked against paging, kept
// out of core dumps, and wiped with a wipe the compiler cannot drop.

#include <cstddef>

// Zero-filled, whole pages, locked (a failed lock is ignored). Null on failure.
// Served from the locked arena, so that repeated use costs no system call.
void* SecureAlloc(std::size_t size);
// Wipes what SecureAlloc returned and gives it back (to the arena, or
// unlocked to the heap); null is accepted. `size` is the one it was
// allocated with.
void SecureFree(void* memory, std::size_t size);

// For buffers the caller owns (stack arrays, members): lock and exclude from
// dumps, and the reverse after wiping.
void SecureLock(void* memory, std::size_t size);
void SecureWipeAndUnlock(void* memory, std::size_t size);

void SecureWipe(void* memory, std::size_t size);

// Zero-fills the stack below the caller and the vector registers. Key
// material outlives the functions that handled it there: in spill slots of
// their frames, and in registers that a later lazy symbol binding or signal
// delivery saves onto the stack. Called where such work returns to code
// that knows nothing of it (the library's exports, the end of a run).
void SecureScrubStackAndRegisters();

// Test seam: called with every block SecureFree is about to give back, with
// its whole pages, after the wipe. Null in production.
using SecureFreeObserver = void (*)(const void* memory, std::size_t size);
void SetSecureFreeObserver(SecureFreeObserver observer);
