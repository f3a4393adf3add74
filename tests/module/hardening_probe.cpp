#include "hardening_probe.h"

#include "program_call.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// False also while the limits cannot be read; `readable` tells which.
bool CoreLimitIsZero(const std::string& proc, bool* readable)
{
    std::ifstream limits(proc + "/limits");
    const std::string label = "Max core file size";
    for (std::string line; std::getline(limits, line);) {
        if (line.rfind(label, 0) != 0)
            continue;
        *readable = true;
        std::istringstream values(line.substr(label.size()));
        std::string soft, hard;
        values >> soft >> hard;
        return soft == "0" && hard == "0";
    }
    return false;
}

} // namespace

HardeningObservation ObserveHardening(const std::string& program, const std::vector<std::string>& args,
                                      const std::vector<std::string>& environment, int timeoutMs)
{
    ProgramCall call(program, args, false, environment);

    int input[2];
    if (::pipe(input) != 0)
        return {};
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(input[0]);
        ::close(input[1]);
        return {};
    }
    if (child == 0) {
        ::dup2(input[0], 0);
        ::close(input[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const gid_t nobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            _exit(126);
        ::execve(call.Path(), call.Argv(), call.Envp());
        _exit(127);
    }
    ::close(input[0]);

    HardeningObservation seen;
    const std::string proc = "/proc/" + std::to_string(child);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            ::close(input[1]);
            return seen; // ended before it could be observed
        }
        bool readable = false;
        seen.coreLimitZero = CoreLimitIsZero(proc, &readable);
        seen.started = seen.started || readable;
        if (seen.coreLimitZero)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    struct stat owner {};
    seen.procOwnedByRoot = ::stat((proc + "/status").c_str(), &owner) == 0 && owner.st_uid == 0;
    ::kill(child, SIGKILL);
    ::close(input[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen;
}
