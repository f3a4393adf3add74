#pragma once

#include "frontend/runs/run_buffers.h"

#include <QString>

#include <cstdint>
#include <vector>

// What a run will take, estimated before it starts: the library's steps
// (one per block of `bytesPerStep` of a file, `stepsPerBlock` times) over
// every regular file of the entries, and their bytes. Links to folders are
// not entered, so a cycle cannot hold the count.
struct RunSize {
    std::uint64_t steps = 0;
    std::uint64_t bytes = 0;
};
RunSize measureRun(const std::vector<RunEntry>& entries, std::uint64_t bytesPerStep, std::uint64_t stepsPerBlock);

// The line under a progress bar: how much of the whole run is done, how
// fast it goes and how long it will take, from the steps done so far.
// Nothing is guessed in the first second, nor when the size is unknown.
QString progressLine(const RunSize& size, std::uint64_t stepsDone, double elapsedSeconds);
