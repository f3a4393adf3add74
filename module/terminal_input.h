#pragma once
// Line input for the console mode: the passphrase (without echo on a
// terminal) and the answers to questions.

#include <cstddef>
#include <cstdio>
#include <string>

// Reads one line from `in` into `buffer` (capacity bytes, not terminated)
// without its line end; bytes beyond the capacity are read and dropped.
// With `hideInput` and a terminal, echo is off while the line is typed.
// Returns the number of bytes kept, or -1 at the end of input before any
// byte.
long ReadInputLine(std::FILE* in, char* buffer, std::size_t capacity, bool hideInput);

// ReadInputLine without the terminal: the same contract, any stream; a "\r"
// before the line end is dropped as well.
long ReadPlainLine(std::FILE* in, char* buffer, std::size_t capacity);

bool IsTerminal(std::FILE* stream);
