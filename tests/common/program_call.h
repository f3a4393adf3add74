#pragma once
// The argument and environment vectors of a program a test starts, with
// the storage they point into.

#include <string>
#include <vector>

class ProgramCall {
public:
    // The environment is this process's, without DISPLAY and WAYLAND_DISPLAY
    // unless `keepDisplay`, with `extraEnvironment` ("NAME=value") added or
    // put in place of the entries of the same names.
    ProgramCall(const std::string& program, const std::vector<std::string>& args, bool keepDisplay,
                const std::vector<std::string>& extraEnvironment = {});
    ProgramCall(const ProgramCall&) = delete;
    ProgramCall& operator=(const ProgramCall&) = delete;

    const char* Path() const { return program_.c_str(); }
    char* const* Argv() { return argv_.data(); }
    char* const* Envp() { return envp_.data(); }

private:
    std::string program_;
    std::vector<std::string> argStrings_;
    std::vector<std::string> environment_;
    std::vector<char*> argv_;
    std::vector<char*> envp_;
};
