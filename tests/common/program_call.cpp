#include "program_call.h"

#include <cstring>
#include <unistd.h>

ProgramCall::ProgramCall(const std::string& program, const std::vector<std::string>& args, bool keepDisplay,
                         const std::vector<std::string>& extraEnvironment)
    : program_(program)
{
    argStrings_.push_back(program);
    argStrings_.insert(argStrings_.end(), args.begin(), args.end());
    for (std::string& arg : argStrings_)
        argv_.push_back(arg.data());
    argv_.push_back(nullptr);

    const auto overridden = [&](const char* entry) {
        for (const std::string& extra : extraEnvironment) {
            const std::size_t name = extra.find('=') + 1;
            if (std::strncmp(entry, extra.c_str(), name) == 0)
                return true;
        }
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const bool display =
            std::strncmp(*entry, "DISPLAY=", 8) == 0 || std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) == 0;
        if ((keepDisplay || !display) && !overridden(*entry))
            environment_.emplace_back(*entry);
    }
    environment_.insert(environment_.end(), extraEnvironment.begin(), extraEnvironment.end());
    for (std::string& entry : environment_)
        envp_.push_back(entry.data());
    envp_.push_back(nullptr);
}
