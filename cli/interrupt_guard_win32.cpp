#include "cli/interrupt_guard.h"

#include "cli/exit_codes.h"
#include "platform/win32_long_path.h"

#include <atomic>
#include <windows.h>

// Ctrl+C and Ctrl+Break (and the console closing) arrive on a thread of
// their own; the handler waits there for the run to stop by itself, as the
// one-second alarm does on Linux.

namespace {

constexpr DWORD GraceMilliseconds = 1000;

std::atomic<bool> g_requested{false};
std::atomic<bool> g_installed{false};
CRITICAL_SECTION g_lock;
INIT_ONCE g_lockOnce = INIT_ONCE_STATIC_INIT;
// Guarded by g_lock; the handler deletes it when it has to end the process.
wchar_t g_partialOutput[32768] = {};
HANDLE g_finished = nullptr; // set when the guard goes

BOOL CALLBACK InitLock(PINIT_ONCE, PVOID, PVOID*)
{
    InitializeCriticalSection(&g_lock);
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return TRUE;
}

void EnsureLock()
{
    InitOnceExecuteOnce(&g_lockOnce, &InitLock, nullptr, nullptr);
}

void Write(HANDLE stream, const char* text, DWORD length)
{
    DWORD written = 0;
    WriteFile(stream, text, length, &written, nullptr);
}

[[noreturn]] void StopNow()
{
    EnterCriticalSection(&g_lock);
    // Every handle on the file shares deletion: the name goes now, the
    // data when the process ends.
    if (g_partialOutput[0] != L'\0')
        DeleteFileW(g_partialOutput);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    // A progress bar may stand on the console's line.
    if (GetConsoleMode(err, &mode) != 0)
        Write(err, "\r\n", 2);
    static const char message[] = "ivqa: interrupted\n";
    Write(err, message, sizeof message - 1);
    ExitProcess(ExitInterrupted);
}

BOOL WINAPI OnControl(DWORD)
{
    if (!g_installed.load())
        return FALSE;
    if (g_requested.exchange(true))
        StopNow();
    // The run stops at its next callback and the guard goes; a run that
    // reaches none in time is ended here.
    if (WaitForSingleObject(g_finished, GraceMilliseconds) == WAIT_TIMEOUT && g_installed.load())
        StopNow();
    return TRUE;
}

} // namespace

InterruptGuard::InterruptGuard()
{
    EnsureLock();
    g_requested = false;
    ResetEvent(g_finished);
    EnterCriticalSection(&g_lock);
    g_partialOutput[0] = L'\0';
    LeaveCriticalSection(&g_lock);
    g_installed = true;
    SetConsoleCtrlHandler(&OnControl, TRUE);
}

InterruptGuard::~InterruptGuard()
{
    g_installed = false;
    SetConsoleCtrlHandler(&OnControl, FALSE);
    SetEvent(g_finished);
    EnterCriticalSection(&g_lock);
    g_partialOutput[0] = L'\0';
    LeaveCriticalSection(&g_lock);
}

void InterruptGuard::SetPartialOutput(const std::string& path)
{
    const std::wstring wide = ExtendedPathOfUtf8(path);
    EnterCriticalSection(&g_lock);
    const std::size_t length = wide.size() < std::size(g_partialOutput) ? wide.size() : 0;
    wide.copy(g_partialOutput, length);
    g_partialOutput[length] = L'\0';
    LeaveCriticalSection(&g_lock);
}

void InterruptGuard::ClearPartialOutput()
{
    EnterCriticalSection(&g_lock);
    g_partialOutput[0] = L'\0';
    LeaveCriticalSection(&g_lock);
}

bool InterruptRequested()
{
    return g_requested.load();
}

void ThrowIfInterrupted()
{
    if (InterruptRequested())
        throw Interrupted{};
}
