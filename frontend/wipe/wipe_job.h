#pragma once

#include "creation/held_removal.h"
#include "frontend/runs/run_buffers.h"
#include "frontend/runs/run_outcome.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CoreApi;
class WorkerChannel;

// 1 deletes the entries, 2 wipes them (overwrite, then remove). The Wipe
// command runs 2; the input-files action runs the index of its option.
enum class WipeMode { Delete = 1, Wipe = 2 };

// The archive whose inputs the run removes: read back first with the same
// key input, and only what it holds unchanged is removed.
struct ArchiveToProve {
    std::string path;
    std::uint64_t payloadOffset = 0;
    std::u16string_view passphrase; // the caller's locked buffers
    std::u16string_view keyfile;
    // Test seam: runs on the worker just before the read-back.
    std::function<void(const std::string& path)> beforeProof;
};

// One wipe run, taken from the forms on the GUI thread.
struct WipeJob {
    WipeMode mode = WipeMode::Wipe;
    std::uint32_t passes = 8;
    std::uint32_t method = 1;
    std::vector<RunEntry> entries;
    const ArchiveToProve* archive = nullptr; // null: remove the entries whole
};

struct WipeOutcome {
    RunOutcome run;
    // Whether the entries were handed to the library, so that the list is
    // to be cleared: not after a failed IQ_WipeInit, nor after an abort.
    bool entriesTouched = false;
    // With an archive to prove: why it could not be verified, if it could not.
    std::optional<ExtractResult> proofFailure;
    RemovalReport removal;
};

// The worker's body. In mode 2 IQ_WipeFinal is called exactly once for the
// context IQ_WipeInit gave, on every path; mode 1 has no context. With an
// archive to prove nothing is removed before the archive has been read back
// whole.
WipeOutcome runWipeJob(const WipeJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                       WorkerChannel& channel);
