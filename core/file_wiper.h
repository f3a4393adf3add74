#pragma once
// Overwriting one file in place with the context's method and repetitions,
// every pass flushed to the disk, then deleting it (IQ_WipeFile).

#include "core/entry_removal.h"
#include "core/wipe_context.h"

class FileWiper final : public FileRemover {
public:
    explicit FileWiper(WipeContext& context) : context_(context) {}
    // IQ_OK, IQ_INPUT_FILE_ERROR (a skip refused, or a pass that failed: the
    // file then stays, partly overwritten), or IQ_RANDOM_ERROR. Inside a walk
    // a file with other hard links is unlinked without overwriting: its
    // bytes are also those of its names outside the folder being wiped.
    CoreResult Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop) override;

private:
    WipeContext& context_;
};
