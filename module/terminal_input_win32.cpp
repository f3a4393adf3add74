#include "module/terminal_input.h"

#include "platform/console_output.h"

#include <io.h>
#include <windows.h>

namespace {

// Echo comes back with the destructor; a console closed meanwhile takes
// its mode with it.
class EchoOff {
public:
    explicit EchoOff(std::FILE* stream)
        : console_(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))))
    {
        if (GetConsoleMode(console_, &saved_) == 0)
            return;
        active_ = SetConsoleMode(console_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~EchoOff()
    {
        if (active_)
            SetConsoleMode(console_, saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool Active() const { return active_; }

private:
    HANDLE console_;
    DWORD saved_ = 0;
    bool active_ = false;
};

} // namespace

bool IsTerminal(std::FILE* stream)
{
    return ConsoleOf(_fileno(stream)) != nullptr;
}

namespace {

// A console line as UTF-16 (the console's code page may mangle UTF-8
// input), then as UTF-8 into `buffer`; the same contract as ReadPlainLine.
// The units are read one at a time so that nothing beyond the line is
// taken, and every copy is wiped: the line may be a passphrase. An unpaired
// surrogate becomes a byte that is no UTF-8, so that the caller refuses the
// line rather than take another passphrase; what does not fit is dropped
// whole from there on.
long ReadConsoleLine(HANDLE console, char* buffer, std::size_t capacity)
{
    std::size_t kept = 0;
    bool any = false;
    bool full = false;
    const auto keep = [&](const char* bytes, std::size_t length) {
        if (full || kept + length > capacity) {
            full = true;
            return;
        }
        for (std::size_t i = 0; i < length; ++i)
            buffer[kept++] = bytes[i];
    };
    constexpr char NotUtf8 = '\xFF';
    wchar_t pending = 0; // a high surrogate waiting for its partner
    for (;;) {
        wchar_t unit = 0;
        DWORD read = 0;
        if (ReadConsoleW(console, &unit, 1, &read, nullptr) == 0 || read == 0)
            break;
        any = true;
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (pending != 0 && !low) {
            keep(&NotUtf8, 1);
            pending = 0;
        }
        if (unit == L'\n')
            break;
        if (unit == L'\r')
            continue;
        if (high) {
            pending = unit;
            continue;
        }
        if (low && pending == 0) {
            keep(&NotUtf8, 1);
            continue;
        }
        wchar_t pair[2] = {pending != 0 ? pending : unit, unit};
        const int units = pending != 0 ? 2 : 1;
        pending = 0;
        char bytes[8];
        const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, pair, units, bytes, sizeof bytes,
                                               nullptr, nullptr);
        if (length > 0)
            keep(bytes, static_cast<std::size_t>(length));
        SecureZeroMemory(bytes, sizeof bytes);
        SecureZeroMemory(pair, sizeof pair);
        unit = 0;
    }
    if (pending != 0)
        keep(&NotUtf8, 1);
    return any ? static_cast<long>(kept) : -1;
}

} // namespace

long ReadInputLine(std::FILE* in, char* buffer, std::size_t capacity, bool hideInput)
{
    if (IsTerminal(in)) {
        const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in)));
        if (!hideInput)
            return ReadConsoleLine(console, buffer, capacity);
        const EchoOff echoOff(in);
        const long read = ReadConsoleLine(console, buffer, capacity);
        if (echoOff.Active())
            std::fputs("\n", stderr); // the line end the user typed was not shown
        return read;
    }
    return ReadPlainLine(in, buffer, capacity);
}
