#pragma once
// What ivqa extract, list and test show while the engine reads an archive:
// the listing or (with -v) the entries on standard output, the progress
// bar on a terminal, the overwrite question; and where the run was when it
// failed.

#include "cli/progress_bar.h"
#include "module/entry_listing.h"
#include "module/extraction_engine.h"
#include "module/module_texts.h"
#include "module/overwrite_question.h"

#include <string>

class ReadingObserver final : public ExtractObserver {
public:
    ReadingObserver(ExtractMode mode, const ModuleTexts& texts, OverwritePolicy overwrite, ProgressBar& bar);

    void ReportEntry(const ExtractEntry& entry) override;
    void LeaveDirectory() override;
    bool AskOverwrite(std::u16string_view name) override;
    void BlockDone(std::size_t inflatedBytes) override;
    void Checkpoint() override;
    void FileRemoved(std::u16string_view name) override;

    // The path inside the archive of the entry last reported; empty before
    // the first.
    const std::string& CurrentPath() const { return paths_.Current(); }
    // The payload has no end marker: a run that ends inside a folder read
    // an archive cut at a record's boundary.
    bool EndedInsideFolder() const { return paths_.InsideFolder(); }

private:
    void WriteResultLine(const std::string& line);

    ExtractMode mode_;
    const ModuleTexts& texts_;
    OverwriteQuestion overwrite_;
    ProgressBar& bar_;
    EntryPaths paths_;
};
