// Linked like the modules, against the glibc 2.17 stand-ins: what the
// module's compatibility layer supplies must work on the glibc it runs on.
// Prints one line per check and ends with status 0 only when all hold.

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Thrown {
    int value;
};

// Set by a constructor: the program's own constructors ran.
struct Constructed {
    Constructed() { value = 42; }
    int value = 0;
};
Constructed constructed;

int failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    failures += ok ? 0 : 1;
}

[[gnu::noinline]] void ThrowThrough(int depth)
{
    std::vector<int> kept(4, depth); // a frame with a destructor to unwind
    if (depth == 0)
        throw Thrown{7};
    ThrowThrough(depth - 1);
}

bool CatchesThrown()
{
    try {
        ThrowThrough(5);
    } catch (const Thrown& thrown) {
        return thrown.value == 7;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    Check(constructed.value == 42, "constructors of the program");
    Check(CatchesThrown(), "an exception through six frames");
    bool inThread = false;
    std::thread worker([&] { inThread = CatchesThrown(); });
    worker.join();
    Check(inThread, "an exception on a second thread");

    struct stat byPath {};
    struct stat byFd {};
    struct stat atDir {};
    const bool statOk = stat(argv[0], &byPath) == 0 && S_ISREG(byPath.st_mode) && byPath.st_size > 0;
    Check(statOk, "stat of the program");
    Check(fstatat(AT_FDCWD, argv[0], &atDir, 0) == 0 && atDir.st_ino == byPath.st_ino, "fstatat");
    FILE* self = std::fopen(argv[0], "rb");
    Check(self != nullptr && fstat(fileno(self), &byFd) == 0 && byFd.st_size == byPath.st_size, "fstat");
    if (self != nullptr)
        std::fclose(self);
    Check(lstat("/", &atDir) == 0 && S_ISDIR(atDir.st_mode), "lstat");

    char secret[16];
    std::memset(secret, 'k', sizeof secret);
    explicit_bzero(secret, sizeof secret);
    Check(secret[0] == 0 && secret[15] == 0, "explicit_bzero");

    // libsodium's seed: kernel bytes, or ENOSYS where the kernel lacks the call.
    unsigned char random[32] = {};
    const ssize_t drawn = getrandom(random, sizeof random, 0);
    Check(drawn == static_cast<ssize_t>(sizeof random) || (drawn < 0 && errno == ENOSYS), "getrandom");
    (void)argc;
    return failures == 0 ? 0 : 1;
}
