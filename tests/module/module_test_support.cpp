#include "module_test_support.h"

#include "core/archive_format.h"
#include "platform/utf.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

std::string ReadText(const std::string& path)
{
    const auto bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> ListTree(const std::string& root)
{
    std::vector<std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string relative = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            relative += " -> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            relative += "/";
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

struct timespec LastWriteTime(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw std::runtime_error("cannot stat " + path);
    return info.st_mtim;
}

void RecordingObserver::ReportEntry(const ExtractEntry& entry)
{
    const std::string name = Utf16ToUtf8(entry.name).value_or("?");
    if (entry.kind == EntryKind::Directory)
        events.push_back("d:" + name);
    else
        events.push_back("f:" + name + ":" + std::to_string(entry.size));
}

bool RecordingObserver::AskOverwrite(std::u16string_view name)
{
    events.push_back("?" + Utf16ToUtf8(name).value_or("?"));
    return overwriteAnswer;
}

void RecordingObserver::Checkpoint()
{
    ++checkpoints;
    if (onCheckpoint)
        onCheckpoint();
}

void RecordingObserver::FileRemoved(std::u16string_view name)
{
    removed.push_back(Utf16ToUtf8(name).value_or("?"));
}

void RecordingObserver::BlockDone(std::size_t bytes)
{
    ++blocks;
    inflatedBytes += bytes;
}

PinnedToOneProcessor::PinnedToOneProcessor()
{
    sched_getaffinity(0, sizeof saved_, &saved_);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &saved_)) {
            CPU_SET(cpu, &one);
            break;
        }
    sched_setaffinity(0, sizeof one, &one);
}

PinnedToOneProcessor::~PinnedToOneProcessor()
{
    sched_setaffinity(0, sizeof saved_, &saved_);
}

ExtractResult ExtractPayload(const std::vector<std::uint8_t>& payload, const std::u16string& passphrase,
                             const std::string& destination, ExtractObserver& observer, ExtractMode mode,
                             ExtractFileSystem* fileSystem, const std::u16string& keyfile)
{
    const MemoryPayloadArchive archive(payload);
    const auto native = MakeNativeExtractFileSystem();
    const std::u16string destinationUnits = U16(destination);
    ExtractState state;
    ExtractInput input;
    input.archive = &archive;
    input.helpLength = LoadLe16(payload.data());
    input.passphrase = passphrase;
    input.keyfileLocation = keyfile;
    input.destination = destinationUnits;
    input.mode = mode;
    input.fileSystem = fileSystem != nullptr ? fileSystem : native.get();
    input.observer = &observer;
    return RunExtraction(state, input);
}
