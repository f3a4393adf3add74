#include "frontend/create/TfmCreateSDAProgress.h"

#include "frontend/app/form_set.h"
#include "frontend/create/archive_job.h"
#include "frontend/options/settings_in_force.h"
#include "frontend/runs/result_messages.h"
#include "platform/utf.h"

namespace {

// The writer's step: one block of a file.
constexpr std::uint64_t kBlockBytes = 1048576;

// The writer recurses once per folder level.
constexpr std::size_t kArchiveWorkerStack = 16777216;

ProgressTexts archiveTexts()
{
    return {QStringLiteral("Creating Self-Decrypting Archive..."),
            QStringLiteral("Adding:"),
            QStringLiteral("Adding "),
            QStringLiteral("Can not add "),
            QMessageBox::Yes,
            QStringLiteral("Do you realy want to abort archive creation?"),
            QStringLiteral("Not enaugh resources to start archive creation!")};
}

} // namespace

TfmCreateSDAProgress::TfmCreateSDAProgress(FormSet& forms)
    : ProgressDialog(forms, archiveTexts(), QStringLiteral("fmCreateSDAProgress"))
{
}

std::optional<RunOutcome> TfmCreateSDAProgress::run(ArchiveJob& job)
{
    const bool clearWhenCompleted = forms_.settingsInForce()->inFileAct() == 0;
    const CoreApi& core = forms_.services.core;
    RunOutcome outcome;
    const bool started = runWorker(
        [&](WorkerChannel& channel, const CoreCallbacks& callbacks) {
            try {
                outcome = runArchiveJob(job, core, callbacks, channel);
            } catch (...) {
                outcome = {RunEnd::Failed, IQ_OUT_OF_MEMORY};
            }
            const bool failed = outcome.end == RunEnd::Failed;
            QString message = failed ? archiveResultMessage(outcome.code) : QString();
            if (outcome.end == RunEnd::Completed && job.notExecutable)
                message = QStringLiteral("The archive was written, but it could not be made executable.");
            const bool completed = outcome.end == RunEnd::Completed;
            return RunEnding{message, completed && clearWhenCompleted};
        },
        kArchiveWorkerStack, [&job] { return measureRun(job.entries, kBlockBytes, 1); });
    if (!started)
        return std::nullopt;
    return outcome;
}
