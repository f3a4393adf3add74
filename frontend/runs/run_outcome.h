#pragma once

#include "ivqa.h"

// The library's four callbacks, as a worker hands them to an Init export.
struct CoreCallbacks {
    NameCallback name = nullptr;
    RangeCallback range = nullptr;
    StepCallback step = nullptr;
    SkipCallback skip = nullptr;
};

// How a worker's run ended. Only a completed run may be followed by
// anything that touches the input files.
enum class RunEnd {
    Completed,
    Failed,   // the code says why
    Aborted,  // Break answered Yes
};

// Failed until the worker says otherwise: a worker that ended by an
// exception must not count as a completed run.
struct RunOutcome {
    RunEnd end = RunEnd::Failed;
    CoreResult code = IQ_OUT_OF_MEMORY;
};
