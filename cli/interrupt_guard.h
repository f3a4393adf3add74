#pragma once
// SIGINT and SIGTERM during a run of the library. The first signal asks the
// run to stop: the next callback throws, the library unwinds and wipes, and
// the command deletes its partial output. A run that reaches no callback
// within a second (a keyfile that never arrives), or a second signal, is
// stopped at once: the partial output is removed from the handler and the
// process ends with ExitInterrupted.

#include <string>

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The file to remove if the process has to end from the handler; set
    // before the file is created, cleared once it is complete.
    void SetPartialOutput(const std::string& path);
    void ClearPartialOutput();
};

bool InterruptRequested();

// Thrown by the library's callbacks once an interrupt was requested.
struct Interrupted {};

void ThrowIfInterrupted();
