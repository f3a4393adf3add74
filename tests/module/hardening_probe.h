#pragma once
// Watches a program of this system harden itself: started as an
// unprivileged user, with standard input a pipe it waits on, until its
// core-file limit reads 0; then it is killed.

#include <string>
#include <vector>

struct HardeningObservation {
    bool started = false;       // the program ran and its /proc entries were read
    bool coreLimitZero = false; // soft and hard core-file limits 0
    // Its /proc entries belong to root, so no process of the user it runs as
    // can read its memory. Only meaningful when the test runs as root.
    bool procOwnedByRoot = false;
};

// `environment` entries ("NAME=value") are added to this process's. The
// program and what it loads must be readable by user nobody.
HardeningObservation ObserveHardening(const std::string& program, const std::vector<std::string>& args,
                                      const std::vector<std::string>& environment = {}, int timeoutMs = 20000);
