#pragma once
// Fixtures of the wipe and delete tests: scratch trees, a recorder behind
// the four plain callbacks that reads every write back, and children that
// run checks under limits or without root's power over permissions.

#include "ivqa.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

inline constexpr std::size_t PatternBytes = 524288;

// A fresh directory, traversable by every user, removed with everything in
// it (whatever the permissions) when the owner goes.
class ScratchDir {
public:
    ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir();
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::u16string Wide(const std::string& utf8);
std::string Narrow(const std::u16string& utf16);

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, unsigned mode = 0644);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
std::vector<std::uint8_t> PatternedBytes(std::size_t length);
void MakeDirectory(const std::string& path, unsigned mode = 0755);
void MakeLink(const std::string& target, const std::string& link);
void MakeFifo(const std::string& path);
// Without following a link.
bool Exists(const std::string& path);
// Entries of a directory in listing order, "." and ".." left out.
std::vector<std::string> Listing(const std::string& directory);
std::size_t OpenDescriptorCount();

// What the callbacks saw, and how they answer. One recorder is active at a
// time; the callbacks below report to it.
struct CallbackRecorder {
    CallbackRecorder();
    ~CallbackRecorder();

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

    // Called with each name before it is recorded.
    std::function<void(const std::u16string&)> onName;
};

void RecordName(const char16_t* name);
void RecordRange(const std::uint64_t* steps);
void RecordStep();
std::int32_t RecordSkip(const char16_t* name);

// Runs `body` in a forked child: as nobody when the tests run as root, with
// `prepare` applied first (limits, signals). Failures inside count as
// failures of the calling test.
void RunInChild(const std::function<void()>& body, bool dropRoot,
                const std::function<void()>& prepare = nullptr);
