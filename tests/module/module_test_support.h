#pragma once
// Fixtures of the module tests: scratch folders, file helpers, and an
// observer that records what the engine reports.

#include "module/extraction_engine.h"
#include "scratch_files.h"

#include <cstdint>
#include <functional>
#include <sched.h>
#include <string>
#include <vector>

std::string ReadText(const std::string& path);

// Every path below `root`, relative, directories with a trailing '/', links
// as "name -> target"; sorted.
std::vector<std::string> ListTree(const std::string& root);

// Seconds and nanoseconds of the last-write time, following no link.
struct timespec LastWriteTime(const std::string& path);

// Records entries as "d:name", "f:name:size", leaves as "<", questions as
// "?name"; counts checkpoints and blocks.
class RecordingObserver : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry& entry) override;
    void LeaveDirectory() override { events.push_back("<"); }
    bool AskOverwrite(std::u16string_view name) override;
    void Checkpoint() override;
    void BlockDone(std::size_t inflatedBytes) override;
    void FileRemoved(std::u16string_view name) override;

    std::vector<std::string> events;
    bool overwriteAnswer = false;
    std::size_t checkpoints = 0;
    std::size_t blocks = 0;
    std::uint64_t inflatedBytes = 0;
    std::vector<std::string> removed; // unfinished files the run removed
    std::function<void()> onCheckpoint;
};

// While it exists, the calling thread may run on one processor only: the
// engine then reads the archive on the run's thread instead of ahead of it.
class PinnedToOneProcessor {
public:
    PinnedToOneProcessor();
    ~PinnedToOneProcessor();
    PinnedToOneProcessor(const PinnedToOneProcessor&) = delete;
    PinnedToOneProcessor& operator=(const PinnedToOneProcessor&) = delete;

private:
    cpu_set_t saved_;
};

// One run over an in-memory payload.
ExtractResult ExtractPayload(const std::vector<std::uint8_t>& payload, const std::u16string& passphrase,
                             const std::string& destination, ExtractObserver& observer,
                             ExtractMode mode = ExtractMode::Extract, ExtractFileSystem* fileSystem = nullptr,
                             const std::u16string& keyfile = u"");
