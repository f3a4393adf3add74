#include "module/overwrite_question.h"

#include "module/terminal_input.h"

#include <cctype>
#include <string>

namespace {

enum class Answer { Yes, No, All, None };

Answer Interpret(std::string_view typed)
{
    std::string word;
    for (const char c : typed)
        word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (word == "y" || word == "yes")
        return Answer::Yes;
    if (word == "a" || word == "all")
        return Answer::All;
    if (word == "none")
        return Answer::None;
    return Answer::No; // the default, also for anything not understood
}

} // namespace

bool OverwriteQuestion::Ask(std::FILE* in, std::FILE* err, const ModuleTexts& texts, std::string_view path)
{
    switch (policy_) {
    case OverwritePolicy::Always:
        return true;
    case OverwritePolicy::Never:
        return false;
    case OverwritePolicy::Ask:
        break;
    }
    if (!IsTerminal(in))
        return false;
    std::string question = "\"";
    question += path;
    question += "\"";
    question += texts.overwriteQuestionTail;
    question += " [y/N/all/none] ";
    std::fputs(question.c_str(), err);
    std::fflush(err);
    char answer[16];
    const long length = ReadInputLine(in, answer, sizeof answer, false);
    switch (Interpret(std::string_view(answer, length > 0 ? static_cast<std::size_t>(length) : 0))) {
    case Answer::Yes:
        return true;
    case Answer::All:
        policy_ = OverwritePolicy::Always;
        return true;
    case Answer::None:
        policy_ = OverwritePolicy::Never;
        return false;
    case Answer::No:
        break;
    }
    return false;
}
