#pragma once
// No C++ exception ever leaves an export. A callback that throws is how the
// caller aborts a run: the guard turns that into IQ_ABORTED, and memory
// exhaustion anywhere into IQ_OUT_OF_MEMORY. The frames unwound on the way
// release what they held; the context's Final export releases the rest.

#include "ivqa.h"

#include <new>

template <typename Body>
CoreResult GuardExport(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return IQ_OUT_OF_MEMORY;
    } catch (...) {
        return IQ_ABORTED;
    }
}

template <typename Body>
void GuardVoidExport(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}
