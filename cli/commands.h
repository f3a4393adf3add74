#pragma once
// The subcommands of `ivqa`. Each takes the arguments after its own name
// and returns the exit status.

#include <span>

using CommandArgs = std::span<const char* const>;

int RunCreateCommand(CommandArgs args);
int RunExtractCommand(CommandArgs args);
int RunListCommand(CommandArgs args);
int RunTestCommand(CommandArgs args);
int RunInfoCommand(CommandArgs args);
int RunWipeCommand(CommandArgs args);
int RunRmCommand(CommandArgs args);
int RunPassgenCommand(CommandArgs args);
int RunKeygenCommand(CommandArgs args);
int RunBrowserPageCommand(CommandArgs args);
