#include "cli/run_observer.h"

#include "cli/diagnostics.h"
#include "module/display_text.h"
#include "module/terminal_input.h"
#include "platform/utf.h"

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
    bar_.Begin(name);
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
    const bool skip = AskSkip(ForTerminal(ToDisplayUtf8(name)));
    if (skip && escapedNames_ > 0 && RecordedNameHoldsEscapedByte(name))
        --escapedNames_;
    return skip;
}

bool RunObserver::AskSkip(std::string_view shownName)
{
    bar_.Clear();
    const std::string statement = std::string(question_.prefix) + "\"" + std::string(shownName) + "\"!";
    if (policy_ == SkipPolicy::Always) {
        PrintError(statement + " Skipped.");
        return true;
    }
    if (!IsTerminal(in_)) {
        PrintError(statement);
        return false;
    }
    const std::string prompt =
        statement + " Do you want to skip it? " + (question_.defaultAnswer ? "[Y/n] " : "[y/N] ");
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    char answer[16];
    const long length = ReadInputLine(in_, answer, sizeof answer, false);
    if (length < 0)
        return false;
    if (length == 0)
        return question_.defaultAnswer;
    return answer[0] == 'y' || answer[0] == 'Y';
}
