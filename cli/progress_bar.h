#pragma once
// One line on a terminal: the current name, the bytes done of it, the rate
// of the whole run and the share of the current entry done. Silent when the
// stream is not a terminal (or the command is quiet), so that logs and
// pipes get no control codes.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class ProgressBar {
public:
    explicit ProgressBar(std::FILE* stream);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool Enabled() const { return enabled_; }

    // A new entry; its steps are unknown until SetSteps.
    void Begin(std::u16string_view name);
    // `steps` units of `bytesPerStep` bytes each make up the current entry.
    void SetSteps(std::uint64_t steps, std::uint64_t bytesPerStep);
    void Step();
    // One step that covered `bytes` bytes (a file's last block is short).
    void Advance(std::uint64_t bytes);
    // Removes the line, before anything else is written to the stream.
    void Clear();

private:
    void Draw(bool force);

    std::FILE* stream_;
    bool enabled_;
    bool shown_ = false;
    std::string name_;
    std::uint64_t steps_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t bytesPerStep_ = 0;
    std::uint64_t bytesDone_ = 0; // of the current entry
    std::uint64_t runBytes_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point drawn_;
};

// "1.5 MiB" and the like.
std::string FormatBytes(std::uint64_t bytes);

// The line without control codes, at most `width` columns (characters).
// Sizes and rate in the same binary units (KiB, MiB/s).
std::string FormatProgressLine(std::string_view name, std::uint64_t bytesDone, double mebibytesPerSecond,
                               int percent, std::size_t width);
