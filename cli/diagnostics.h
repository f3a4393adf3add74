#pragma once
// Messages on standard error in the form "ivqa: ...".

#include <string_view>

void PrintError(std::string_view text);

// Prints the error and a pointer to the subcommand's help; returns ExitUsage.
int UsageError(std::string_view command, std::string_view text);
