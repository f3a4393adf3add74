#pragma once
// Fixtures of the wipe and delete tests, beside the shared ones: a recorder
// behind the four plain callbacks that reads every write back, and a child
// that runs checks under limits of its own.

#include "ivqa.h"
#include "test_support.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

inline constexpr std::size_t PatternBytes = 524288;

void WriteFileMode(const std::string& path, const std::vector<std::uint8_t>& bytes, unsigned mode);
void MakeFifo(const std::string& path);
// Without following a link.
bool Exists(const std::string& path);

// What the callbacks saw, and how they answer. One recorder is active at a
// time; the callbacks below report to it.
struct CallbackRecorder {
    CallbackRecorder();
    ~CallbackRecorder();
    CallbackRecorder(const CallbackRecorder&) = delete;
    CallbackRecorder& operator=(const CallbackRecorder&) = delete;

    std::vector<std::u16string> names;
    std::vector<std::u16string> skips;
    std::vector<std::uint64_t> ranges;
    std::uint64_t steps = 0;

    // Answers of the skip question in order; afterwards `laterAnswer`.
    std::deque<std::int32_t> answers;
    std::int32_t laterAnswer = 0;

    // Read-back: when `reader` is open on the file being wiped, every step
    // reads the buffer just written (write k of a pass lies at k * 512 KiB,
    // `buffersPerPass` buffers to a pass) and records its byte value, or -1
    // when the buffer is short or not one value throughout.
    int reader = -1;
    std::uint64_t buffersPerPass = 1;
    std::vector<int> writtenValues;

    // Throws from the n-th call (1-based) of a callback; 0 never.
    unsigned throwAtName = 0;
    unsigned throwAtRange = 0;
    unsigned throwAtStep = 0;
    unsigned throwAtSkip = 0;

    // Called with each name before it is recorded, and with each range.
    std::function<void(const std::u16string&)> onName;
    std::function<void()> onRange;
};

void RecordName(const char16_t* name);
void RecordRange(const std::uint64_t* steps);
void RecordStep();
std::int32_t RecordSkip(const char16_t* name);

// Runs `body` in a forked child after `prepare` (limits, signal dispositions
// that must not reach this process). Failures inside count as failures of
// the calling test.
void RunInLimitedChild(const std::function<void()>& prepare, const std::function<void()>& body);
