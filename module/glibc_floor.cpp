// What the module needs from a glibc newer than the oldest one it starts
// on. The program links against stand-ins that offer only the old symbol
// versions (cmake/glibc_floor_stubs.py); whatever the compiler's start
// files, its runtime libraries or our headers ask for beyond them is
// defined here, in terms of calls the old glibc has.

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>

extern "C" {

// Old glibc calls no constructors of the program itself: the start files
// of the time passed a function that did. The current start files pass
// none, since the current glibc finds them on its own, and a non-null one
// makes it leave them to us. Linked with --wrap=__libc_start_main.
using MainFunction = int (*)(int, char**, char**);
using InitFunction = void (*)(int, char**, char**);
int __real___libc_start_main(MainFunction, int, char**, InitFunction, void (*)(), void (*)(), void*);

extern InitFunction __init_array_start[] __attribute__((visibility("hidden")));
extern InitFunction __init_array_end[] __attribute__((visibility("hidden")));
void _init();

static void RunProgramConstructors(int argc, char** argv, char** envp)
{
    _init();
    for (InitFunction* f = __init_array_start; f != __init_array_end; ++f)
        (*f)(argc, argv, envp);
}

int __wrap___libc_start_main(MainFunction main, int argc, char** argv, InitFunction, void (*)(),
                             void (*rtldFini)(), void* stackEnd)
{
    // Destructors stay with the loader, which runs them on every glibc.
    return __real___libc_start_main(main, argc, argv, RunProgramConstructors, nullptr, rtldFini, stackEnd);
}

// The C++ runtime reads it to skip atomic operations in a process without
// threads; staying zero keeps them always, which is right everywhere.
char __libc_single_threaded = 0;

// The unwinder asks for the frame table of the code an exception passes
// through; older glibc has only the walk over the loaded objects.
namespace {
struct FindObjectQuery {
    std::uintptr_t address;
    dl_find_object* result;
    bool found;
};

int FindObjectInModule(dl_phdr_info* info, std::size_t, void* data)
{
    auto* query = static_cast<FindObjectQuery*>(data);
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    bool contains = false;
    const ElfW(Phdr)* frames = nullptr;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_GNU_EH_FRAME)
            frames = &header;
        if (header.p_type != PT_LOAD)
            continue;
        const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
        const std::uintptr_t end = start + header.p_memsz;
        low = start < low ? start : low;
        high = end > high ? end : high;
        contains = contains || (query->address >= start && query->address < end);
    }
    if (!contains)
        return 0;
    std::memset(query->result, 0, sizeof *query->result);
    query->result->dlfo_map_start = reinterpret_cast<void*>(low);
    query->result->dlfo_map_end = reinterpret_cast<void*>(high);
    query->result->dlfo_eh_frame =
        frames != nullptr ? reinterpret_cast<void*>(info->dlpi_addr + frames->p_vaddr) : nullptr;
    query->found = true;
    return 1;
}
} // namespace

int _dl_find_object(void* address, dl_find_object* result)
{
    FindObjectQuery query{reinterpret_cast<std::uintptr_t>(address), result, false};
    dl_iterate_phdr(FindObjectInModule, &query);
    return query.found ? 0 : -1;
}

// Key material is wiped through them (the first one in builds without
// _FORTIFY_SOURCE); the barrier keeps the stores.
void explicit_bzero(void* memory, std::size_t size) noexcept
{
    std::memset(memory, 0, size);
    __asm__ volatile("" : : "r"(memory) : "memory");
}

void __explicit_bzero_chk(void* memory, std::size_t size, std::size_t) noexcept
{
    explicit_bzero(memory, size);
}

// Before glibc 2.33 the stat calls were inline wrappers around these.
int __xstat(int, const char*, struct stat*);
int __lxstat(int, const char*, struct stat*);
int __fxstat(int, int, struct stat*);
int __fxstatat(int, int, const char*, struct stat*, int);
constexpr int kStatVersion = 1;

int stat(const char* path, struct stat* buffer) noexcept { return __xstat(kStatVersion, path, buffer); }
int lstat(const char* path, struct stat* buffer) noexcept { return __lxstat(kStatVersion, path, buffer); }
int fstat(int fd, struct stat* buffer) noexcept { return __fxstat(kStatVersion, fd, buffer); }
int fstatat(int dirFd, const char* path, struct stat* buffer, int flags) noexcept
{
    return __fxstatat(kStatVersion, dirFd, path, buffer, flags);
}

// libsodium seeds its generator from the kernel (glibc 2.25 wraps the
// call); on a kernel without it the call fails with ENOSYS, and libsodium
// reads /dev/urandom instead.
ssize_t getrandom(void* buffer, std::size_t length, unsigned int flags)
{
    return syscall(SYS_getrandom, buffer, length, flags);
}

// Timed waits on std::condition_variable (glibc 2.30). Our condition
// variables keep the default realtime clock, so a deadline on another clock
// becomes the same span from now on the realtime clock.
int pthread_cond_clockwait(pthread_cond_t* condition, pthread_mutex_t* mutex, clockid_t clock,
                           const struct timespec* deadline)
{
    timespec now{};
    timespec realNow{};
    if (clock_gettime(clock, &now) != 0 || clock_gettime(CLOCK_REALTIME, &realNow) != 0)
        return EINVAL;
    constexpr long kNanoseconds = 1000000000L;
    long long seconds = static_cast<long long>(deadline->tv_sec) - now.tv_sec + realNow.tv_sec;
    long nanoseconds = deadline->tv_nsec - now.tv_nsec + realNow.tv_nsec;
    while (nanoseconds < 0) {
        nanoseconds += kNanoseconds;
        --seconds;
    }
    while (nanoseconds >= kNanoseconds) {
        nanoseconds -= kNanoseconds;
        ++seconds;
    }
    const timespec realDeadline{static_cast<time_t>(seconds), nanoseconds};
    return pthread_cond_timedwait(condition, mutex, &realDeadline);
}

} // extern "C"
