#pragma once
// Runs the ivqa program (or an archive) as a user or a script would: its
// standard input from a text or a pseudo-terminal, standard error captured
// or on that terminal, standard output captured.

#include <string>
#include <sys/types.h>
#include <vector>

struct ProcessOutcome {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err; // the terminal's transcript when standard error is on it
};

struct ProcessRequest {
    std::string program; // empty: the ivqa program of this build
    std::vector<std::string> args;
    std::string input;            // standard input unless it is the terminal
    std::string workingDirectory; // empty: this process's
    bool stdinOnTerminal = false;
    bool stderrOnTerminal = false;
};

std::string IvqaProgram();

// A terminal's transcript without its control sequences (a console under
// Wine places them between the characters it shows).
std::string WithoutControlSequences(const std::string& screen);

class ChildProcess {
public:
    explicit ChildProcess(const ProcessRequest& request);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Terminal only: waits until `text` has been shown since the start
    // (control sequences aside).
    bool WaitForScreen(const std::string& text, int timeoutMs = 30000);
    // Terminal only: waits until the program has switched echo off.
    bool WaitForEchoOff(int timeoutMs = 30000);
    void Type(const std::string& text);
    void Signal(int signal);
    ProcessOutcome Finish();

private:
    void Drain(int timeoutMs);

    pid_t pid_ = -1;
    int master_ = -1;
    std::string scratch_;
    std::string screen_;
    bool stderrOnTerminal_;
};

// The archive's own run in console mode with `args` after --console,
// standard input from `input`, no terminal.
ProcessOutcome RunArchiveConsole(const std::string& archive, const std::vector<std::string>& args,
                                 const std::string& input);

// A whole run with standard input from `input` and no terminal, of the
// ivqa program of this build unless `program` names another.
ProcessOutcome RunIvqa(const std::vector<std::string>& args, const std::string& input = "",
                       const std::string& workingDirectory = "", const std::string& program = "");
