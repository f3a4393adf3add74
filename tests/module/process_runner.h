#pragma once
// Runs a program the way a recipient or a script does: arguments, standard
// input from a text, both output streams captured, no display.

#include <string>
#include <vector>

struct ProcessResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string input;             // standard input
    std::string workingDirectory;  // empty: this process's
    bool withDisplay = false;      // keep DISPLAY and WAYLAND_DISPLAY
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});
