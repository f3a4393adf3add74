#include "platform/process_hardening.h"

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>

bool HardenProcess()
{
    // Not dumpable: no core file, and /proc/PID/mem and ptrace stay closed
    // to other processes of the user.
    const bool undumpable = prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    // Also for a child the program may exec, which would be dumpable again.
    const rlimit noCore{0, 0};
    const bool noCoreFile = setrlimit(RLIMIT_CORE, &noCore) == 0;
    // Past RLIMIT_FSIZE the kernel would kill the process with SIGXFSZ in
    // mid-write; ignored, the write fails with EFBIG and the run ends with
    // its documented error.
    const bool fileSizeSignalIgnored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    return undumpable && noCoreFile && fileSizeSignalIgnored;
}
