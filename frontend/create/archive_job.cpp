#include "frontend/create/archive_job.h"

#include "creation/module_stage.h"
#include "frontend/app/core_api.h"
#include "frontend/app/native_path.h"
#include "frontend/runs/worker_channel.h"

#include <QFile>

namespace {

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

    ModuleStage stage;
    if (!job.modulePath.isEmpty() && !job.outputPath.isEmpty())
        stage = StageModuleCopy(nativeFromPath(job.modulePath).toStdString(),
                                nativeFromPath(job.outputPath).toStdString());
    if (stage.result != ModuleStageResult::Ok) {
        const bool open = passLastCheckpoint(channel);
        return {open ? RunEnd::Failed : RunEnd::Aborted, IQ_ARCHIVE_ERROR};
    }
    StagedFile& archive = *stage.archive;

    const std::u16string temporary = pathForLibrary(pathFromNative(archive.TemporaryPath()));
    SdaContext* context = nullptr;
    CoreResult result = core.SDAInit(&context, temporary.c_str(), job.passphrase.textOrNull(),
                                     job.keyfile.textOrNull(), job.cipherId, job.help.textOrNull(),
                                     callbacks.name, callbacks.range, callbacks.step, callbacks.skip);
    if (!job.keepKeyInput) {
        job.passphrase.wipe();
        job.keyfile.wipe();
    }

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
    // An IQ_SDAInit that failed before it gave a context never ran Final.
    if (!open || result != IQ_OK || !context) {
        archive.Discard();
        return {open ? RunEnd::Failed : RunEnd::Aborted, result != IQ_OK ? result : CoreResult{IQ_ARCHIVE_ERROR}};
    }
    switch (archive.Commit(ExecutableMode())) {
    case StagedCommit::Failed:
        return {RunEnd::Failed, IQ_ARCHIVE_ERROR};
    case StagedCommit::DoneWithoutMode:
        job.notExecutable = true;
        break;
    case StagedCommit::Done:
        break;
    }
    job.payloadOffset = stage.moduleLength;
    return {RunEnd::Completed, IQ_OK};
}
