#pragma once
// The library reports through plain function pointers without user data;
// these trampolines forward to the one observer of the running command. A
// requested interrupt makes the next callback throw, which the library
// turns into IQ_ABORTED after releasing what it held.

#include "ivqa.h"

#include <cstdint>
#include <string_view>

class LibraryObserver {
public:
    virtual ~LibraryObserver() = default;
    virtual void OnName(std::u16string_view name) = 0;
    virtual void OnRange(std::uint64_t steps) = 0;
    virtual void OnStep() = 0;
    // True skips the entry, false fails it.
    virtual bool OnSkip(std::u16string_view name) = 0;
};

struct LibraryCallbacks {
    NameCallback name;
    RangeCallback range;
    StepCallback step;
    SkipCallback skip;
};

// Makes `observer` the receiver of the callbacks for its lifetime.
class CallbackScope {
public:
    explicit CallbackScope(LibraryObserver& observer);
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

    static LibraryCallbacks Callbacks();
};
