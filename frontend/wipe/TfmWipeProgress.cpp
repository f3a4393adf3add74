#include "frontend/wipe/TfmWipeProgress.h"

#include "frontend/app/form_set.h"
#include "frontend/main/input_list_model.h"
#include "frontend/options/settings_in_force.h"
#include "frontend/runs/result_messages.h"
#include "frontend/widgets/message_boxes.h"

#include <QFile>

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

// The library overwrites a file in pieces of this size, one step per piece
// and pass.
constexpr std::uint64_t kWipeBufferBytes = 524288;

// Passes of each method: "Fast", "DoD-5220.22-M", "Peter Gutmann's".
std::uint64_t wipePassesOf(std::uint32_t method)
{
    constexpr std::uint64_t passes[] = {1, 3, 35};
    return method < std::size(passes) ? passes[method] : 1;
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
    WipeOutcome wiped;
    return runJob(job, &wiped);
}

std::optional<InputFilesReport> TfmWipeProgress::run(WipeMode mode, const ArchiveToProve& archive)
{
    WipeJob job;
    job.mode = mode;
    job.archive = &archive;
    WipeOutcome wiped;
    const std::optional<RunOutcome> outcome = runJob(job, &wiped);
    if (!outcome)
        return std::nullopt;
    InputFilesReport report;
    report.mode = mode;
    if (wiped.proofFailure)
        report.notVerified = QString::fromUtf8(ProofResultText(*wiped.proofFailure));
    report.stopped = outcome->end != RunEnd::Completed && !wiped.proofFailure;
    report.removed = wiped.removal.removed;
    report.kept = std::move(wiped.removal.kept);
    return report;
}

std::optional<RunOutcome> TfmWipeProgress::runJob(WipeJob& job, WipeOutcome* wiped)
{
    job.passes = static_cast<std::uint32_t>(forms_.settingsInForce()->passCnt());
    job.method = static_cast<std::uint32_t>(forms_.settingsInForce()->wipeAlg());
    job.entries = takeRunEntries(forms_.inputList());
    const CoreApi& core = forms_.services.core;

    const bool started = runWorker(
        [&](WorkerChannel& channel, const CoreCallbacks& callbacks) {
            *wiped = runWipeJob(job, core, callbacks, channel);
            // An archive that could not be verified is told in the run's
            // completion message; errors of the removal itself here.
            const QString message = wiped->run.end == RunEnd::Failed && !wiped->proofFailure
                                        ? wipeResultMessage(wiped->run.code)
                                        : QString();
            return RunEnding{message, wiped->entriesTouched};
        },
        0, [&job]() -> RunSize {
            // Only a wipe reports steps; a delete has none to count.
            if (job.mode != WipeMode::Wipe)
                return {};
            return measureRun(job.entries, kWipeBufferBytes, job.passes * wipePassesOf(job.method));
        });
    if (!started)
        return std::nullopt;
    return wiped->run;
}
