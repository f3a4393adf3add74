#include "module/terminal_input.h"

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
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

long ReadInputLine(std::FILE* in, char* buffer, std::size_t capacity, bool hideInput)
{
    if (hideInput && IsTerminal(in)) {
        const EchoOff echoOff(in);
        const long read = ReadPlainLine(in, buffer, capacity);
        if (echoOff.Active())
            std::fputs("\n", stderr); // the line end the user typed was not shown
        return read;
    }
    return ReadPlainLine(in, buffer, capacity);
}
