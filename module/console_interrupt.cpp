#include "module/console_interrupt.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

std::atomic<const PendingOutput*> g_pending{nullptr};
std::atomic<bool> g_requested{false};
#ifndef _WIN32
int g_errFd = 2;
#endif

std::atomic<const char*> g_message{""};
std::atomic<std::size_t> g_messageLength{0};

// Async-signal-safe: atomics, write and _exit only.
bool StopOrEnd()
{
    g_requested = true;
    const PendingOutput* pending = g_pending.load();
    if (pending != nullptr && pending->MayExist())
        return false; // the run removes the file at its next checkpoint
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_message.load(), static_cast<DWORD>(g_messageLength.load()), &written,
              nullptr);
    ExitProcess(ExitConsoleInterrupted);
#else
    [[maybe_unused]] const ssize_t written = ::write(g_errFd, g_message.load(), g_messageLength.load());
    ::_exit(ExitConsoleInterrupted);
#endif
}

#ifdef _WIN32
// Runs on a thread of its own: returning TRUE keeps the process alive
// until the run has cleaned up and ends it.
BOOL WINAPI OnControl(DWORD)
{
    StopOrEnd();
    return TRUE;
}
#else
struct sigaction g_previous[3];
constexpr int Signals[3] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int)
{
    StopOrEnd();
}
#endif

} // namespace

ConsoleInterrupt::ConsoleInterrupt(const PendingOutput& pending, std::FILE* err, const char* message)
{
    g_requested = false;
    g_messageLength = std::strlen(message);
    g_message = message;
    g_pending = &pending;
#ifdef _WIN32
    (void)err;
    SetConsoleCtrlHandler(&OnControl, TRUE);
#else
    g_errFd = ::fileno(err);
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes of the run go on whole; the run stops at its checkpoint.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &action, &g_previous[i]);
#endif
}

ConsoleInterrupt::~ConsoleInterrupt()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(&OnControl, FALSE);
#else
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &g_previous[i], nullptr);
#endif
    g_pending = nullptr;
}

bool ConsoleInterrupt::Requested()
{
    return g_requested.load();
}
