#include "core/archive_entries.h"
#include "core/block_pipeline.h"
#include "core/direct_output.h"
#include "core/planned_walk.h"

#include <cerrno>

namespace {

CoreResult AddEntry(SdaContext& context, int pathBase, const EntryName& entry, int level, bool directory)
{
    DirectOutput direct(context);
    context.output = &direct;
    struct Detach {
        SdaContext& context;
        ~Detach() { context.output = nullptr; }
    } detach{context};
    if (!directory)
        return AddFileEntry(context, pathBase, entry, level);
    const unsigned helpers = context.parallel ? UsableHelpers() : 0;
    return WritePlannedWalk(context, helpers, [&] { return AddDirEntry(context, pathBase, entry, level); });
}

} // namespace

CoreResult AddCallerEntry(SdaContext& context, int pathBase, const EntryName& entry, int level, bool directory)
{
    // What was written before a failure reaches the file as well, an abort
    // by a throwing callback included; the caller reads the failure's
    // errno, not the flush's.
    CoreResult added = IQ_OK;
    try {
        added = AddEntry(context, pathBase, entry, level, directory);
    } catch (...) {
        (void)FlushArchive(context);
        throw;
    }
    if (added == IQ_ARCHIVE_ERROR) {
        // Nothing goes after a write that failed: the file would have a gap.
        context.pending.Drop();
        return added;
    }
    const int error = errno;
    const CoreResult flushed = FlushArchive(context);
    if (added != IQ_OK) {
        errno = error;
        return added;
    }
    return flushed;
}
