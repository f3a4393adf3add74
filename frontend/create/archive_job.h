#pragma once

#include "frontend/runs/run_buffers.h"
#include "frontend/runs/run_outcome.h"

#include <QString>

#include <cstdint>
#include <vector>

struct CoreApi;
class WorkerChannel;

// Room for a keyfile location: a path, or "file://" and a path, or a URL,
// with its terminator. A longer one is refused in the dialog.
inline constexpr std::size_t kKeyfileLocationUnits = 4096 + 7;

// Everything one archive run needs, taken from the forms on the GUI thread
// before the worker starts, so that the worker never touches a widget.
struct ArchiveJob {
    QString modulePath;  // empty when the language or the system chose none
    QString outputPath;
    LockedUtf16 passphrase{256};
    LockedUtf16 keyfile{kKeyfileLocationUnits};
    LockedUtf16 help{1025};
    std::uint32_t cipherId = 0;
    std::vector<RunEntry> entries;
    // Set when the archive is to be read back with the same key input: the
    // passphrase and keyfile then stay until the job goes.
    bool keepKeyInput = false;

    // Filled in by a completed run.
    std::uint64_t payloadOffset = 0; // the module's length
    bool notExecutable = false;      // the archive is complete, but chmod failed
};

// The worker's body: copies the module into a temporary file beside the
// output, drives the archive writer over the entries, calls IQ_SDAFinal
// exactly once for a context it got, and only when every export returned
// IQ_OK renames the finished, flushed archive onto the output name. Any
// other end removes the temporary file and leaves the output name as it
// was. A failed copy reports IQ_ARCHIVE_ERROR without a library call.
RunOutcome runArchiveJob(ArchiveJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                         WorkerChannel& channel);
