#pragma once

#include "frontend/run_buffers.h"
#include "frontend/run_outcome.h"

#include <QString>

#include <cstdint>
#include <vector>

struct CoreApi;
class WorkerChannel;

// Everything one archive run needs, taken from the forms on the GUI thread
// before the worker starts, so that the worker never touches a widget.
struct ArchiveJob {
    QString modulePath;  // empty when the language or the system chose none
    QString outputPath;
    LockedUtf16 passphrase{256};
    // A keyfile location is a path, or "file://" and a path, or a URL.
    LockedUtf16 keyfile{4096 + 7};
    LockedUtf16 help{1025};
    std::uint32_t cipherId = 0;
    std::vector<RunEntry> entries;
};

// The worker's body: copies the module, drives the archive writer over the
// entries, calls IQ_SDAFinal exactly once for a context it got, deletes the
// output of a run that did not complete and makes a completed one
// executable. A failed copy reports IQ_ARCHIVE_ERROR without a library call.
RunOutcome runArchiveJob(ArchiveJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                         WorkerChannel& channel);
