#pragma once

#include "creation/held_removal.h"
#include "frontend/wipe/wipe_job.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What the input-files action did after an archive run.
struct InputFilesReport {
    WipeMode mode = WipeMode::Delete;
    // Why the archive could not be read back; nothing was removed then.
    std::optional<QString> notVerified;
    bool stopped = false; // a removal failed, or Break ended it
    std::uint64_t removed = 0;
    std::vector<KeptEntry> kept;
};

// What a completed archive run wrote, and what followed it.
struct ArchiveReport {
    QString path;
    qint64 size = 0;
    std::size_t entries = 0;
    std::size_t escapedNames = 0;
    std::optional<InputFilesReport> inputFiles;
    QString browserPage; // empty when the program has none
};

// The one message the user gets once everything after Create is over.
QString completionText(const ArchiveReport& report);

// The status bar's line after a wipe run from the main window.
QString wipeStatusLine(const RunOutcome& outcome, std::size_t entries);
