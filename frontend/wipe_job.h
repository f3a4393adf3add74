#pragma once

#include "frontend/run_buffers.h"
#include "frontend/run_outcome.h"

#include <cstdint>
#include <vector>

struct CoreApi;
class WorkerChannel;

// 1 deletes the entries, 2 wipes them (overwrite, then remove). The Wipe
// command runs 2; the input-files action runs the index of its option.
enum class WipeMode { Delete = 1, Wipe = 2 };

// One wipe run, taken from the forms on the GUI thread.
struct WipeJob {
    WipeMode mode = WipeMode::Wipe;
    std::uint32_t passes = 8;
    std::uint32_t method = 1;
    std::vector<RunEntry> entries;
};

struct WipeOutcome {
    RunOutcome run;
    // Whether the entries were handed to the library, so that the list is
    // to be cleared: not after a failed IQ_WipeInit, nor after an abort.
    bool entriesTouched = false;
};

// The worker's body. In mode 2 IQ_WipeFinal is called exactly once for the
// context IQ_WipeInit gave, on every path; mode 1 has no context.
WipeOutcome runWipeJob(const WipeJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                       WorkerChannel& channel);
