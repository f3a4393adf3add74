#include "platform/entropy.h"

#include "platform/secure_memory.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <string>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

template <typename Value>
void SinkValue(EntropySink sink, void* context, const Value& value)
{
    sink(context, &value, sizeof value);
}

// Feeds a whole file, in the pieces read() returns. Files under /proc report
// no size, so they are read until the end.
bool SinkFile(int dirFd, const char* path, EntropySink sink, void* context)
{
    UniqueFd fd(::openat(dirFd, path, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return false;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        const ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (count == 0)
            break;
        sink(context, buffer, static_cast<std::size_t>(count));
    }
    SecureWipe(buffer, sizeof buffer);
    return ok;
}

bool IsNumericName(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

// Calls `visit(dirFd, name)` for every numeric entry of the directory at
// `path`; false when it cannot be opened. Processes and threads come and go
// while we walk, so single entries may fail without failing the walk.
template <typename Visit>
bool ForEachNumericEntry(int dirFd, const char* path, Visit&& visit)
{
    const int fd = ::openat(dirFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DirHandle dir(fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = readdir(dir.get()))
        if (IsNumericName(entry->d_name))
            visit(dirfd(dir.get()), entry->d_name);
    return true;
}

} // namespace

bool PollProcesses(EntropySink sink, void* context)
{
    (void)SinkFile(AT_FDCWD, "/proc/net/dev", sink, context);
    std::size_t read = 0;
    const bool listed = ForEachNumericEntry(AT_FDCWD, "/proc", [&](int procFd, const char* pid) {
        const std::string base(pid);
        if (SinkFile(procFd, (base + "/stat").c_str(), sink, context))
            ++read;
        (void)SinkFile(procFd, (base + "/statm").c_str(), sink, context);
    });
    return listed && read > 0;
}

bool PollThreads(EntropySink sink, void* context)
{
    (void)SinkFile(AT_FDCWD, "/proc/net/snmp", sink, context);
    std::size_t read = 0;
    const bool listed = ForEachNumericEntry(AT_FDCWD, "/proc", [&](int procFd, const char* pid) {
        const std::string tasks = std::string(pid) + "/task";
        (void)ForEachNumericEntry(procFd, tasks.c_str(), [&](int taskFd, const char* tid) {
            if (SinkFile(taskFd, (std::string(tid) + "/stat").c_str(), sink, context))
                ++read;
        });
    });
    return listed && read > 0;
}

bool PollOwnProcess(EntropySink sink, void* context)
{
    if (!SinkFile(AT_FDCWD, "/proc/self/maps", sink, context))
        return false;
    // Older kernels lack the summary; the mappings already vary per process.
    (void)SinkFile(AT_FDCWD, "/proc/self/smaps_rollup", sink, context);
    const struct mallinfo2 heap = mallinfo2();
    SinkValue(sink, context, heap);
    return true;
}

bool PollTimesAndCounters(EntropySink sink, void* context)
{
    static constexpr clockid_t Clocks[] = {
        CLOCK_REALTIME,        CLOCK_MONOTONIC,        CLOCK_PROCESS_CPUTIME_ID,
        CLOCK_THREAD_CPUTIME_ID, CLOCK_MONOTONIC_RAW,  CLOCK_REALTIME_COARSE,
        CLOCK_MONOTONIC_COARSE, CLOCK_BOOTTIME,        CLOCK_TAI,
    };
    for (const clockid_t clock : Clocks) {
        timespec now{};
        if (clock_gettime(clock, &now) == 0)
            SinkValue(sink, context, now);
    }

    struct rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        SinkValue(sink, context, usage);
    usage = {};
    if (getrusage(RUSAGE_THREAD, &usage) == 0)
        SinkValue(sink, context, usage);

    struct sysinfo system{};
    if (sysinfo(&system) == 0)
        SinkValue(sink, context, system);
    if (!SinkFile(AT_FDCWD, "/proc/meminfo", sink, context))
        return false;

    const pid_t ids[] = {getpid(), gettid(), getppid()};
    SinkValue(sink, context, ids);
#if defined(__x86_64__) || defined(__i386__)
    const std::uint64_t cycles = __rdtsc();
    SinkValue(sink, context, cycles);
#endif

    std::uint8_t kernelBytes[64];
    std::size_t filled = 0;
    while (filled < sizeof kernelBytes) {
        const ssize_t count = getrandom(kernelBytes + filled, sizeof kernelBytes - filled, 0);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            SecureWipe(kernelBytes, sizeof kernelBytes);
            return false;
        }
        filled += static_cast<std::size_t>(count);
    }
    sink(context, kernelBytes, sizeof kernelBytes);
    SecureWipe(kernelBytes, sizeof kernelBytes);
    return true;
}

void ReadTimeVector(std::uint8_t* out)
{
    timespec now{};
    (void)clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t fields[2] = {static_cast<std::int64_t>(now.tv_sec),
                                    static_cast<std::int64_t>(now.tv_nsec)};
    static_assert(sizeof fields == TimeVectorLength);
    std::memcpy(out, fields, sizeof fields);
}
