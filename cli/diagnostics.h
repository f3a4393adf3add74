#pragma once
// Messages on standard error in the form "ivqa: ...", and how much the
// running command says besides its result.

#include <string>
#include <string_view>

void PrintError(std::string_view text);

// One line for one failure: the system's text, then the path concerned and
// the reason, each where there is one: "ivqa: TEXT PATH: REASON".
void PrintFailure(std::string_view text, std::string_view path, std::string_view reason = {});

// The system's reason for `error` (an errno value); empty for 0.
std::string ReasonOf(int error);

// Prints the error and a pointer to the subcommand's help; returns ExitUsage.
int UsageError(std::string_view command, std::string_view text);

enum class Verbosity {
    Quiet,   // errors only
    Normal,  // errors, warnings, questions, the progress bar on a terminal
    Verbose, // also every entry as it is handled
};
void SetVerbosity(Verbosity verbosity);
Verbosity CurrentVerbosity();

// A line that is not an error ("ivqa: created folder ..."); silent with -q.
void PrintNote(std::string_view text);
