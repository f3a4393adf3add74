#include "frontend/TfmWipeProgress.h"

#include "frontend/TfmMain.h"
#include "frontend/TfmOptions.h"
#include "frontend/form_set.h"
#include "frontend/result_messages.h"

namespace {

ProgressTexts wipeTexts()
{
    return {QStringLiteral("Removing Files..."),
            QStringLiteral("Removing:"),
            QStringLiteral("Removing "),
            QStringLiteral("Can not remove "),
            QMessageBox::No,
            QStringLiteral("Do you realy want to abort wiping?"),
            QStringLiteral("Not enaugh resources to start wiping!")};
}

} // namespace

TfmWipeProgress::TfmWipeProgress(FormSet& forms)
    : ProgressDialog(forms, wipeTexts(), QStringLiteral("fmWipeProgress"))
{
}

std::optional<RunOutcome> TfmWipeProgress::run(WipeMode mode)
{
    WipeJob job;
    job.mode = mode;
    job.passes = static_cast<std::uint32_t>(forms_.fmOptions->passCnt());
    job.method = static_cast<std::uint32_t>(forms_.fmOptions->wipeAlg());
    job.entries = takeRunEntries(forms_.fmMain->inputList());
    const CoreApi& core = forms_.services.core;

    RunOutcome outcome;
    const bool started = runWorker(
        [&](WorkerChannel& channel, const CoreCallbacks& callbacks) {
            const WipeOutcome wiped = runWipeJob(job, core, callbacks, channel);
            outcome = wiped.run;
            const bool failed = outcome.end == RunEnd::Failed;
            return RunEnding{failed ? wipeResultMessage(outcome.code) : QString(),
                             wiped.entriesTouched, QString()};
        },
        0);
    if (!started)
        return std::nullopt;
    return outcome;
}
