#include "frontend/archive_job.h"

#include "frontend/core_api.h"
#include "frontend/module_copy.h"
#include "frontend/worker_channel.h"

#include <QFile>

#include <unistd.h>

namespace {

void removeOutput(const QString& path)
{
    ::unlink(QFile::encodeName(path).constData());
}

// The last checkpoint: a Break question still open holds the worker here,
// and its Yes turns the run into an abort.
bool passLastCheckpoint(WorkerChannel& channel)
{
    try {
        channel.close();
        return true;
    } catch (const RunAborted&) {
        return false;
    }
}

} // namespace

RunOutcome runArchiveJob(ArchiveJob& job, const CoreApi& core, const CoreCallbacks& callbacks,
                         WorkerChannel& channel)
{
    if (!job.passphrase.allocated() || !job.keyfile.allocated() || !job.help.allocated()) {
        const bool open = passLastCheckpoint(channel);
        return {open ? RunEnd::Failed : RunEnd::Aborted, IQ_OUT_OF_MEMORY};
    }

    const ModuleCopy copy = copyModule(job.modulePath, job.outputPath);
    if (copy != ModuleCopy::Done) {
        if (copy == ModuleCopy::PartlyWritten)
            removeOutput(job.outputPath);
        const bool open = passLastCheckpoint(channel);
        return {open ? RunEnd::Failed : RunEnd::Aborted, IQ_ARCHIVE_ERROR};
    }

    const std::u16string output = pathForLibrary(job.outputPath);
    SdaContext* context = nullptr;
    CoreResult result = core.SDAInit(&context, output.c_str(), job.passphrase.textOrNull(),
                                     job.keyfile.textOrNull(), job.cipherId, job.help.textOrNull(),
                                     callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
    job.passphrase.wipe();
    job.keyfile.wipe();

    for (const RunEntry& entry : job.entries) {
        if (result != IQ_OK)
            break;
        result = entry.kind == EntryKind::File
            ? core.SDAAddFile(context, entry.path.c_str(), entry.level)
            : core.SDAAddDir(context, entry.path.c_str(), entry.level);
    }

    const bool open = passLastCheckpoint(channel);
    if (context)
        core.SDAFinal(context);
    if (!open || result != IQ_OK) {
        removeOutput(job.outputPath);
        return {open ? RunEnd::Failed : RunEnd::Aborted, result};
    }
    makeExecutable(job.outputPath);
    return {RunEnd::Completed, IQ_OK};
}
