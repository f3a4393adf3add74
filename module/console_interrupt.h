#pragma once
// Ctrl+C (SIGINT, SIGTERM, SIGHUP; on Windows the console's control events)
// during a console run. With no file being written the process ends at once
// from the handler; otherwise the run is asked to stop at its next
// checkpoint, which removes the unfinished file before the process ends.

#include "module/pending_output.h"

#include <cstdio>

inline constexpr int ExitConsoleInterrupted = 130;

class ConsoleInterrupt {
public:
    // Handlers in place for the life of the object; `pending` is the run's.
    // `message` (static) is written to `err` when the process ends from
    // the handler.
    ConsoleInterrupt(const PendingOutput& pending, std::FILE* err, const char* message = "Interrupted.\n");
    ~ConsoleInterrupt();
    ConsoleInterrupt(const ConsoleInterrupt&) = delete;
    ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

    static bool Requested();
};

// Thrown from a checkpoint once an interrupt was requested.
struct ConsoleInterrupted {};
