#pragma once
// Exit statuses of the command-line program besides the result codes of the
// library (1 to 8) and of the extraction engine (1 to 9), which pass through
// unchanged. ExitUsage (64) comes with the module's console mode.

#include "module/console_frontend.h"

inline constexpr int ExitSuccess = 0;
// No usable key input: neither passphrase nor keyfile, two typed passphrases
// that differ, or a passphrase the module could not reproduce. The module's
// console mode uses the same status for the first case.
inline constexpr int ExitKeyInput = ExitNoKeyInput;
// A file of ours (the help text) cannot be read or is not UTF-8.
inline constexpr int ExitNoInput = 66;
// A file of ours (a keyfile) cannot be created or written.
inline constexpr int ExitCannotCreate = 73;
// SIGINT or SIGTERM stopped the run.
inline constexpr int ExitInterrupted = 130;
