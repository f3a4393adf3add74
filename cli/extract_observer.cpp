#include "cli/extract_observer.h"

#include "cli/diagnostics.h"
#include "core/archive_format.h"
#include "module/console_interrupt.h"
#include "module/display_text.h"

#include <cstdio>

ReadingObserver::ReadingObserver(ExtractMode mode, const ModuleTexts& texts, OverwritePolicy overwrite,
                                 ProgressBar& bar)
    : mode_(mode), texts_(texts), overwrite_(overwrite), bar_(bar)
{
}

void ReadingObserver::ReportEntry(const ExtractEntry& entry)
{
    const std::string& path = paths_.Enter(entry);
    if (mode_ == ExtractMode::List)
        WriteResultLine(ListingLine(entry, path));
    else if (CurrentVerbosity() == Verbosity::Verbose)
        WriteResultLine(entry.kind == EntryKind::Directory ? path + "/" : path);
    bar_.Begin(entry.name);
    // A listing skips the blocks, so only reading runs have steps to show.
    if (entry.kind == EntryKind::File && mode_ != ExtractMode::List)
        bar_.SetSteps((entry.size + BlockSize - 1) / BlockSize, BlockSize);
}

void ReadingObserver::LeaveDirectory()
{
    paths_.Leave();
}

bool ReadingObserver::AskOverwrite(std::u16string_view)
{
    bar_.Clear();
    return overwrite_.Ask(stdin, stderr, texts_, paths_.Current());
}

void ReadingObserver::BlockDone(std::size_t inflatedBytes)
{
    bar_.Advance(inflatedBytes);
}

void ReadingObserver::Checkpoint()
{
    if (ConsoleInterrupt::Requested())
        throw ConsoleInterrupted{};
}

void ReadingObserver::FileRemoved(std::u16string_view name)
{
    bar_.Clear();
    // The file being written is the entry last reported: its path says which.
    const std::string& path = paths_.Current();
    PrintError(std::string(texts_.removedLinePrefix) + (path.empty() ? ForTerminal(ToDisplayUtf8(name)) : path));
}

void ReadingObserver::WriteResultLine(const std::string& line)
{
    bar_.Clear();
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}
