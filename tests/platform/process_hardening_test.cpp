#include "platform/process_hardening.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// In a child, since the process cannot be made dumpable again for the rest
// of the suite's checks of its own /proc entries.
TEST(ProcessHardening, LeavesNoCoreDumpAndSurvivesTheFileSizeLimit)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        failures += HardenProcess() ? 0 : 1;
        failures += prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 2;
        rlimit core{};
        failures += getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0 && core.rlim_max == 0 ? 0 : 4;
        // A write past the file-size limit fails instead of killing us.
        const rlimit small{1, 1};
        setrlimit(RLIMIT_FSIZE, &small);
        char path[] = "/tmp/ivqa-harden-XXXXXX";
        const int fd = mkstemp(path);
        unlink(path);
        failures += fd >= 0 && write(fd, "ab", 2) == 1 && write(fd, "b", 1) < 0 ? 0 : 8;
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bit mask): 1 result, 2 dumpable, 4 core limit, 8 size limit";
}
