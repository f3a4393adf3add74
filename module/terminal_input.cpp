#include "module/terminal_input.h"

#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

// Echo must come back even when the user interrupts the prompt.
struct termios g_savedMode;
volatile std::sig_atomic_t g_restoreFd = -1;

void RestoreAndReraise(int signal)
{
    if (g_restoreFd >= 0)
        tcsetattr(g_restoreFd, TCSAFLUSH, &g_savedMode);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd)
    {
        struct termios mode;
        if (tcgetattr(fd_, &mode) != 0)
            return;
        g_savedMode = mode;
        g_restoreFd = fd_;
        previousInt_ = std::signal(SIGINT, &RestoreAndReraise);
        previousTerm_ = std::signal(SIGTERM, &RestoreAndReraise);
        mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        mode.c_lflag |= ECHONL;
        active_ = tcsetattr(fd_, TCSAFLUSH, &mode) == 0;
    }
    ~EchoOff()
    {
        if (g_restoreFd < 0)
            return;
        if (active_)
            tcsetattr(fd_, TCSAFLUSH, &g_savedMode);
        g_restoreFd = -1;
        std::signal(SIGINT, previousInt_);
        std::signal(SIGTERM, previousTerm_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    bool active_ = false;
    void (*previousInt_)(int) = SIG_DFL;
    void (*previousTerm_)(int) = SIG_DFL;
};

} // namespace

bool IsTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}

long ReadInputLine(std::FILE* in, char* buffer, std::size_t capacity, bool hideInput)
{
    if (hideInput && IsTerminal(in)) {
        EchoOff echoOff(fileno(in));
        return ReadPlainLine(in, buffer, capacity);
    }
    return ReadPlainLine(in, buffer, capacity);
}
