#include "frontend/wipe_job.h"

#include "frontend/core_api.h"
#include "frontend/worker_channel.h"

namespace {

CoreResult removeEntry(const WipeJob& job, const RunEntry& entry, WipeContext* context,
                       const CoreApi& core, const CoreCallbacks& callbacks)
{
    const char16_t* path = entry.path.c_str();
    const bool file = entry.kind == EntryKind::File;
    if (job.mode == WipeMode::Wipe)
        return file ? core.WipeFile(context, path) : core.WipeDir(context, path);
    return file ? core.RmFile(path, callbacks.name, callbacks.skip)
                : core.RmDir(path, callbacks.name, callbacks.skip);
}

} // namespace

WipeOutcome runWipeJob(const WipeJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                       WorkerChannel& channel)
{
    WipeContext* context = nullptr;
    CoreResult result = IQ_OK;
    bool touched = false;
    if (job.mode == WipeMode::Wipe)
        result = core.WipeInit(&context, job.passes, job.method, callbacks.name, callbacks.range,
                               callbacks.step, callbacks.skip);
    if (result == IQ_OK) {
        touched = true;
        for (const RunEntry& entry : job.entries) {
            result = removeEntry(job, entry, context, core, callbacks);
            if (result != IQ_OK)
                break;
        }
    }

    bool open = true;
    try {
        channel.close();
    } catch (const RunAborted&) {
        open = false;
    }
    if (context)
        core.WipeFinal(context);
    if (!open)
        return {{RunEnd::Aborted, result}, false};
    return {{result == IQ_OK ? RunEnd::Completed : RunEnd::Failed, result}, touched};
}
