#include "core/archive_entries.h"
#include "core/block_pipeline.h"
#include "core/direct_output.h"
#include "core/planned_walk.h"

CoreResult AddCallerEntry(SdaContext& context, int pathBase, const EntryName& entry, int level, bool directory)
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
