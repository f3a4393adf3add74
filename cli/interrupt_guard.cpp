#include "cli/interrupt_guard.h"

#include "cli/exit_codes.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_requested = 0;
// Read by the handler: written only while the signals are blocked.
char g_partialOutput[PATH_MAX] = {};

struct sigaction g_previousInt;
struct sigaction g_previousTerm;
struct sigaction g_previousAlarm;

void StopNow()
{
    if (g_partialOutput[0] != '\0')
        ::unlink(g_partialOutput);
    // A progress bar may stand on the line.
    if (::isatty(STDERR_FILENO) == 1) {
        static const char clear[] = "\r\033[K";
        [[maybe_unused]] const ssize_t cleared = ::write(STDERR_FILENO, clear, sizeof clear - 1);
    }
    static const char message[] = "ivqa: interrupted\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(ExitInterrupted);
}

void OnSignal(int signal)
{
    if (signal == SIGALRM || g_requested != 0)
        StopNow();
    g_requested = 1;
    ::alarm(1);
}

void Install(int signal, struct sigaction* previous)
{
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGALRM);
    // Restarted system calls keep the library's reads and writes whole.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, previous);
}

class SignalsBlocked {
public:
    SignalsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGALRM);
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

} // namespace

InterruptGuard::InterruptGuard()
{
    g_requested = 0;
    g_partialOutput[0] = '\0';
    Install(SIGINT, &g_previousInt);
    Install(SIGTERM, &g_previousTerm);
    Install(SIGALRM, &g_previousAlarm);
}

InterruptGuard::~InterruptGuard()
{
    ::alarm(0);
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGALRM, &g_previousAlarm, nullptr);
    g_partialOutput[0] = '\0';
}

void InterruptGuard::SetPartialOutput(const std::string& path)
{
    const SignalsBlocked blocked;
    const std::size_t length = path.size() < sizeof g_partialOutput ? path.size() : 0;
    std::memcpy(g_partialOutput, path.data(), length);
    g_partialOutput[length] = '\0';
}

void InterruptGuard::ClearPartialOutput()
{
    const SignalsBlocked blocked;
    g_partialOutput[0] = '\0';
}

bool InterruptRequested()
{
    return g_requested != 0;
}

void ThrowIfInterrupted()
{
    if (InterruptRequested())
        throw Interrupted{};
}
