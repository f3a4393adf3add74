#pragma once

#include "frontend/runs/progress_dialog.h"
#include "frontend/runs/run_report.h"
#include "frontend/wipe/wipe_job.h"

#include <optional>

// The wipe progress window (form `fmWipeProgress`) over the wipe worker.
class TfmWipeProgress : public ProgressDialog {
    Q_OBJECT

public:
    explicit TfmWipeProgress(FormSet& forms);

    // Deletes (mode 1) or wipes (mode 2) every entry of the input list,
    // shown modally until the run ends; the list is cleared unless
    // IQ_WipeInit failed or the run was aborted. Nothing when the worker
    // could not be started.
    std::optional<RunOutcome> run(WipeMode mode);
    // The input-files action after an archive run: the archive is read back
    // first, and only the entries it holds unchanged are removed. What was
    // removed and kept, or why the archive could not be verified, is handed
    // back for the run's completion message. Nothing when the worker could
    // not be started.
    std::optional<InputFilesReport> run(WipeMode mode, const ArchiveToProve& archive);

private:
    std::optional<RunOutcome> runJob(WipeJob& job, WipeOutcome* wiped);
};
