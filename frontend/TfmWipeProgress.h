#pragma once

#include "frontend/progress_dialog.h"
#include "frontend/wipe_job.h"

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
    // first, and only the entries it holds unchanged are removed. The user
    // is told when it could not be verified (nothing removed) and which
    // entries were kept.
    std::optional<RunOutcome> run(WipeMode mode, const ArchiveToProve& archive);

private:
    std::optional<RunOutcome> runJob(WipeJob& job);
    void reportKept(const RemovalReport& removal);
};
