#pragma once
// Running the Windows programs of the tests under Wine: the environment the
// wine tests get, and Linux paths as Wine's drive Z: names them.

#include "process_runner.h"

#include <string>
#include <vector>

// The variable's value, empty when it is not set.
std::string Env(const char* name);

// Wine's drive Z: is the Linux root.
std::string WindowsPath(const std::string& linuxPath);

// `program` under $IVQA_WINE64 with `args`, `input` on standard input.
ProcessResult RunWine(const std::string& program, std::vector<std::string> args, const std::string& input = "",
                      const std::string& directory = "");
