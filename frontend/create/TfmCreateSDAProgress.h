#pragma once

#include "frontend/runs/progress_dialog.h"

#include <optional>

struct ArchiveJob;

// The archive progress window (form `fmCreateSDAProgress`) over the archive
// worker.
class TfmCreateSDAProgress : public ProgressDialog {
    Q_OBJECT

public:
    explicit TfmCreateSDAProgress(FormSet& forms);

    // One archive run, shown modally until it ends. Nothing when the worker
    // could not be started. A completed run clears the input list when the
    // input-files action is "Do not delete".
    std::optional<RunOutcome> run(ArchiveJob& job);

    // Names of the last run stored escaped (bytes that are not UTF-8).
    std::size_t escapedNamesStored() const { return escapedNames(); }
};
