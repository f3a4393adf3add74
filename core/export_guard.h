#pragma once
// No C++ exception ever leaves an export. A callback that throws is how the
// caller aborts a run: the guard turns that into IQ_ABORTED, and memory
// exhaustion anywhere into IQ_OUT_OF_MEMORY. The frames unwound on the way
// release what they held; the context's Final export releases the rest.

#include "ivqa.h"
#include "platform/secure_memory.h"

#include <new>

// On the way out every export also scrubs the stack its callees used and
// the vector registers, where keys and plaintext survive the calls that
// handled them.
template <typename Body>
CoreResult GuardExport(Body&& body) noexcept
{
    CoreResult result = IQ_OK;
    try {
        result = body();
    } catch (const std::bad_alloc&) {
        result = IQ_OUT_OF_MEMORY;
    } catch (...) {
        result = IQ_ABORTED;
    }
    SecureScrubStackAndRegisters();
    return result;
}

template <typename Body>
void GuardVoidExport(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
    SecureScrubStackAndRegisters();
}
