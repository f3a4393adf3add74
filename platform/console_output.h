#pragma once
// Windows consoles: the program writes UTF-8 through the C runtime, the
// console is given UTF-16 (WriteConsoleW), whatever its code page. When
// standard output or error is a console, its descriptor is replaced by a
// pipe whose other end a thread turns into console writes; the line
// clearing "\r\033[K" of the progress bar becomes a clear of the row.
// Pipes and files keep the UTF-8 bytes.

// For standard output and standard error, where they are consoles.
void RelayConsoleOutput();
// Everything written so far on the console, before the process ends.
void FinishConsoleOutput();
// The console behind descriptor `fd`, relayed or its own; null when none.
void* ConsoleOf(int fd);
