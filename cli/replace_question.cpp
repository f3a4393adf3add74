#include "cli/replace_question.h"

#include "module/terminal_input.h"
#include "platform/path_calls.h"

#include <cstdio>

ReplaceAnswer MayReplace(const std::string& path, bool force)
{
    FileStatus status;
    // A dangling link is a name too: it is replaced, never written through.
    if (force || !PathStatus(path, false, &status))
        return ReplaceAnswer::Proceed;
    if (!IsTerminal(stdin))
        return ReplaceAnswer::Refused;
    std::fprintf(stderr, "%s exists. Replace it? [y/N] ", path.c_str());
    std::fflush(stderr);
    char answer[16];
    const long length = ReadInputLine(stdin, answer, sizeof answer, false);
    return length > 0 && (answer[0] == 'y' || answer[0] == 'Y') ? ReplaceAnswer::Proceed : ReplaceAnswer::Declined;
}

std::string ReplaceRefusalText(std::string_view shownPath)
{
    return std::string(shownPath) + " exists; give -f to replace it";
}
