#include "ivqa_process.h"

#include "module_test_support.h"
#include "program_call.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string MakeScratch()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ivqa-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

std::string IvqaProgram()
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/ivqa";
}

ChildProcess::ChildProcess(const ProcessRequest& request) : scratch_(MakeScratch()), stderrOnTerminal_(request.stderrOnTerminal)
{
    const std::string program = request.program.empty() ? IvqaProgram() : request.program;
    WriteFile(scratch_ + "/in", request.input);
    int slave = -1;
    if (request.stdinOnTerminal || request.stderrOnTerminal) {
        struct winsize size {};
        size.ws_col = 100;
        size.ws_row = 30;
        if (::openpty(&master_, &slave, nullptr, nullptr, &size) != 0)
            throw std::runtime_error("openpty failed");
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (request.stdinOnTerminal)
        posix_spawn_file_actions_adddup2(&actions, slave, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, (scratch_ + "/in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (scratch_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (request.stderrOnTerminal)
        posix_spawn_file_actions_adddup2(&actions, slave, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, (scratch_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    if (master_ >= 0) {
        posix_spawn_file_actions_addclose(&actions, master_);
        posix_spawn_file_actions_addclose(&actions, slave);
    }
    if (!request.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.workingDirectory.c_str());

    // Archives run in console mode: no display reaches them.
    ProgramCall call(program, request.args, false);
    const int spawned = posix_spawn(&pid_, call.Path(), &actions, nullptr, call.Argv(), call.Envp());
    posix_spawn_file_actions_destroy(&actions);
    if (slave >= 0)
        ::close(slave);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0)
        ::close(master_);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
}

void ChildProcess::Drain(int timeoutMs)
{
    if (master_ < 0)
        return;
    pollfd ready{master_, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count <= 0)
            return;
        screen_.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string WithoutControlSequences(const std::string& screen)
{
    std::string text;
    for (std::size_t i = 0; i < screen.size(); ++i) {
        if (screen[i] == '\033' && i + 1 < screen.size() && screen[i + 1] == '[') {
            i += 2;
            while (i < screen.size() && !(screen[i] >= 0x40 && screen[i] <= 0x7E))
                ++i;
            continue;
        }
        text.push_back(screen[i]);
    }
    return text;
}

bool ChildProcess::WaitForScreen(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (WithoutControlSequences(screen_).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Drain(20);
    }
    return true;
}

bool ChildProcess::WaitForEchoOff(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        struct termios mode {};
        // The two sides of a pseudo-terminal share one set of modes.
        if (::tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ECHO) == 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Drain(5);
    }
}

void ChildProcess::Type(const std::string& text)
{
    if (::write(master_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot type on the terminal");
}

void ChildProcess::Signal(int signal)
{
    ::kill(pid_, signal);
}

ProcessOutcome ChildProcess::Finish()
{
    ProcessOutcome outcome;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, master_ >= 0 ? WNOHANG : 0);
        if (done == pid_)
            break;
        if (done < 0 && errno != EINTR)
            throw std::runtime_error("waitpid failed");
        Drain(20);
    }
    pid_ = -1;
    Drain(50);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = ReadText(scratch_ + "/out");
    outcome.err = stderrOnTerminal_ ? screen_ : ReadText(scratch_ + "/err");
    return outcome;
}

ProcessOutcome RunIvqa(const std::vector<std::string>& args, const std::string& input,
                       const std::string& workingDirectory, const std::string& program)
{
    ProcessRequest request;
    request.program = program;
    request.args = args;
    request.input = input;
    request.workingDirectory = workingDirectory;
    ChildProcess child(request);
    return child.Finish();
}

ProcessOutcome RunArchiveConsole(const std::string& archive, const std::vector<std::string>& args,
                                 const std::string& input)
{
    std::vector<std::string> consoleArgs{"--console"};
    consoleArgs.insert(consoleArgs.end(), args.begin(), args.end());
    return RunIvqa(consoleArgs, input, "", archive);
}
