#include "platform/console_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace {

constexpr char ClearLine[] = "\033[K";
constexpr std::size_t ClearLineLength = sizeof ClearLine - 1;

struct Relay {
    HANDLE console = nullptr;
    HANDLE pipe = nullptr; // read end
    HANDLE thread = nullptr;
};

Relay g_relays[3];

void ClearToEndOfRow(HANDLE console)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(console, &info) == 0)
        return;
    const DWORD columns = static_cast<DWORD>(info.dwSize.X - info.dwCursorPosition.X);
    DWORD written = 0;
    FillConsoleOutputCharacterW(console, L' ', columns, info.dwCursorPosition, &written);
}

void WriteUtf8(HANDLE console, const char* bytes, std::size_t length)
{
    if (length == 0)
        return;
    std::wstring units(length, L'\0');
    const int count = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), units.data(),
                                          static_cast<int>(units.size()));
    DWORD written = 0;
    if (count > 0)
        WriteConsoleW(console, units.data(), static_cast<DWORD>(count), &written, nullptr);
    // A passphrase from passgen passes through here.
    SecureZeroMemory(units.data(), units.size() * sizeof(wchar_t));
}

// How many bytes at the end of `text` may begin a UTF-8 sequence or the
// clearing control that the next read completes.
std::size_t UnfinishedTail(const std::string& text)
{
    for (std::size_t keep = ClearLineLength - 1; keep > 0; --keep) {
        if (text.size() >= keep && text.compare(text.size() - keep, keep, ClearLine, keep) == 0)
            return keep;
    }
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

DWORD WINAPI Forward(void* parameter)
{
    Relay& relay = *static_cast<Relay*>(parameter);
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(relay.pipe, buffer, sizeof buffer, &read, nullptr) != 0 && read > 0) {
        pending.append(buffer, read);
        SecureZeroMemory(buffer, sizeof buffer);
        const std::size_t tail = UnfinishedTail(pending);
        std::size_t start = 0;
        const std::size_t end = pending.size() - tail;
        while (start < end) {
            const std::size_t control = pending.find(ClearLine, start);
            const std::size_t stop = control == std::string::npos || control >= end ? end : control;
            WriteUtf8(relay.console, pending.data() + start, stop - start);
            if (stop == end)
                break;
            ClearToEndOfRow(relay.console);
            start = stop + ClearLineLength;
        }
        const std::string rest = pending.substr(end);
        SecureZeroMemory(pending.data(), pending.size());
        pending = rest;
    }
    WriteUtf8(relay.console, pending.data(), pending.size());
    SecureZeroMemory(pending.data(), pending.size());
    return 0;
}

void Start(int fd, DWORD which, std::FILE* stream)
{
    const HANDLE standard = GetStdHandle(which);
    DWORD mode = 0;
    if (standard == INVALID_HANDLE_VALUE || GetConsoleMode(standard, &mode) == 0)
        return;
    // A handle of our own: replacing the descriptor closes the standard one.
    HANDLE console = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), standard, GetCurrentProcess(), &console, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0)
        return;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (CreatePipe(&readEnd, &writeEnd, nullptr, 0) == 0) {
        CloseHandle(console);
        return;
    }
    const int pipeFd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    if (pipeFd < 0) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        CloseHandle(console);
        return;
    }
    Relay& relay = g_relays[fd];
    relay.console = console;
    relay.pipe = readEnd;
    relay.thread = CreateThread(nullptr, 0, &Forward, &relay, 0, nullptr);
    if (relay.thread == nullptr) {
        _close(pipeFd);
        CloseHandle(readEnd);
        CloseHandle(console);
        relay = Relay{};
        return;
    }
    std::fflush(stream);
    _dup2(pipeFd, fd);
    _close(pipeFd);
    // Written at once, so that a prompt stands before the input it asks for.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    // Messages written straight to the standard handle (from a control
    // handler, as the process ends) go to the console itself.
    SetStdHandle(which, console);
}

} // namespace

void RelayConsoleOutput()
{
    Start(1, STD_OUTPUT_HANDLE, stdout);
    Start(2, STD_ERROR_HANDLE, stderr);
    std::atexit(&FinishConsoleOutput);
}

void FinishConsoleOutput()
{
    for (int fd = 1; fd <= 2; ++fd) {
        Relay& relay = g_relays[fd];
        if (relay.thread == nullptr)
            continue;
        std::fflush(fd == 1 ? stdout : stderr);
        // The pipe's only write end: the thread reads to its end and stops.
        _close(fd);
        WaitForSingleObject(relay.thread, INFINITE);
        CloseHandle(relay.thread);
        CloseHandle(relay.pipe);
        relay = Relay{};
    }
}

void* ConsoleOf(int fd)
{
    if (fd >= 0 && fd <= 2 && g_relays[fd].console != nullptr)
        return g_relays[fd].console;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}
