#include "cli/run_observer.h"

#include "cli/diagnostics.h"
#include "cli/entry_search.h"
#include "module/display_text.h"
#include "module/terminal_input.h"
#include "platform/utf.h"

#include <cerrno>
#include <cstdio>
#include <string>

RunObserver::RunObserver(ProgressBar& bar, std::uint64_t bytesPerStep, SkipQuestion question, SkipPolicy policy,
                         std::FILE* in)
    : bar_(bar), bytesPerStep_(bytesPerStep), question_(question), policy_(policy), in_(in)
{
}

void RunObserver::OnName(std::u16string_view name)
{
    if (RecordedNameHoldsEscapedByte(name))
        ++escapedNames_;
    // Bare names, as a listing: standard output stays the command's result.
    if (CurrentVerbosity() == Verbosity::Verbose) {
        bar_.Clear();
        std::fputs((ForTerminal(ToDisplayUtf8(name)) + "\n").c_str(), stderr);
        std::fflush(stderr);
    }
    bar_.Begin(name);
}

void RunObserver::SetOperand(const std::string& path, bool folder, bool followLinks)
{
    operand_ = path;
    operandIsFolder_ = folder;
    followLinks_ = followLinks;
}

void RunObserver::OnRange(std::uint64_t steps)
{
    bar_.SetSteps(steps, bytesPerStep_);
}

void RunObserver::OnStep()
{
    bar_.Step();
}

bool RunObserver::OnSkip(std::u16string_view name)
{
    // The library asks right after the call that failed.
    const int error = errno;
    std::string shown = ForTerminal(ToDisplayUtf8(name));
    if (operandIsFolder_ && shown != operand_) {
        if (std::string found = FindEntryBelow(operand_, shown, followLinks_); !found.empty())
            shown = std::move(found);
    }
    const bool skip = AskSkip(shown, ReasonOf(error));
    if (skip && escapedNames_ > 0 && RecordedNameHoldsEscapedByte(name))
        --escapedNames_;
    return skip;
}

bool RunObserver::AskSkip(std::string_view shownName, std::string_view reason)
{
    bar_.Clear();
    std::string statement = std::string(question_.prefix) + "\"" + std::string(shownName) + "\"!";
    if (!reason.empty())
        statement += " " + std::string(reason) + ".";
    if (policy_ == SkipPolicy::Always) {
        PrintNote(statement + " Skipped.");
        return true;
    }
    if (!IsTerminal(in_)) {
        PrintError(statement);
        ++failuresReported_;
        return false;
    }
    const std::string prompt =
        statement + " Do you want to skip it? " + (question_.defaultAnswer ? "[Y/n] " : "[y/N] ");
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    char answer[16];
    const long length = ReadInputLine(in_, answer, sizeof answer, false);
    const bool skip = length == 0 ? question_.defaultAnswer : length > 0 && (answer[0] == 'y' || answer[0] == 'Y');
    if (!skip)
        ++failuresReported_;
    return skip;
}
