// Peak memory of archive creation and extraction of a 1 GiB file (sparse
// input), above the program's idle size; the goal is under 16 MiB each.
// Baseline, measured in the same run: copying the same file through one
// 1 MiB buffer, the least any block-wise pass over it can hold.
// The peak is the kernel's high-water mark of resident memory, reset
// before each measured step.

#include "ivqa.h"
#include "module/extraction_engine.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr off_t InputSize = off_t{1} << 30;
constexpr double MiB = 1048576.0;

// kB fields of /proc/self/status.
double StatusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::string(field).size())) * 1024 / MiB;
    return -1;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Peak resident memory of `step` above what the process held before it.
template <typename Step>
double PeakAboveIdle(Step&& step)
{
    ResetPeak();
    const double idle = StatusMiB("VmRSS:");
    step();
    return StatusMiB("VmHWM:") - idle;
}

class NoQuestions final : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry&) override {}
    bool AskOverwrite(std::u16string_view) override { return true; }
};

struct Scratch {
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "ivqa-memory-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
        fs::create_directory(root / "dest");
        const int fd = ::open((root / "input.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::ftruncate(fd, InputSize) != 0)
            throw std::runtime_error("cannot create the sparse input");
        ::close(fd);
    }
    ~Scratch() { fs::remove_all(root); }
    fs::path root;
};

void CopyThroughOneBuffer(const fs::path& from, const fs::path& to)
{
    std::vector<char> buffer(1 << 20);
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (ssize_t count; (count = ::read(in, buffer.data(), buffer.size())) > 0;)
        if (::write(out, buffer.data(), static_cast<std::size_t>(count)) != count)
            break;
    ::close(in);
    ::close(out);
}

CoreResult CreateArchive(const fs::path& archive, const fs::path& input)
{
    std::ofstream(archive).close();
    SdaContext* context = nullptr;
    const std::u16string path = Utf8ToUtf16(archive.string()).value();
    const std::u16string file = Utf8ToUtf16(input.string()).value();
    CoreResult result =
        IQ_SDAInit(&context, path.c_str(), u"memory", nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result == IQ_OK)
        result = IQ_SDAAddFile(context, file.c_str(), 7);
    IQ_SDAFinal(context);
    return result;
}

ExtractResult Extract(const fs::path& archive, const fs::path& destination)
{
    const FilePayloadArchive payload(archive.string(), 0);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const std::u16string target = Utf8ToUtf16(destination.string()).value();
    NoQuestions observer;
    ExtractState state;
    ExtractInput input;
    input.archive = &payload;
    input.passphrase = u"memory";
    input.destination = target;
    input.fileSystem = fileSystem.get();
    input.observer = &observer;
    return RunExtraction(state, input);
}

void BM_PeakMemoryOf1GiB(benchmark::State& state)
{
    Scratch scratch;
    const fs::path input = scratch.root / "input.bin";
    const fs::path archive = scratch.root / "archive.run";
    double baseline = 0, create = 0, extract = 0;
    for (auto _ : state) {
        baseline = PeakAboveIdle([&] { CopyThroughOneBuffer(input, scratch.root / "copy.bin"); });
        fs::remove(scratch.root / "copy.bin");
        CoreResult created = IQ_OK;
        create = PeakAboveIdle([&] { created = CreateArchive(archive, input); });
        ExtractResult extracted = ExtractResult::Done;
        extract = PeakAboveIdle([&] { extracted = Extract(archive, scratch.root / "dest"); });
        if (created != IQ_OK || extracted != ExtractResult::Done ||
            fs::file_size(scratch.root / "dest/input.bin") != static_cast<std::uintmax_t>(InputSize)) {
            state.SkipWithError("the archive did not round-trip");
            return;
        }
        fs::remove(scratch.root / "dest/input.bin");
    }
    state.counters["idle_MiB"] = StatusMiB("VmRSS:");
    state.counters["copy_peak_MiB"] = baseline;
    state.counters["create_peak_MiB"] = create;
    state.counters["extract_peak_MiB"] = extract;
    state.counters["create_vs_copy"] = create / baseline;
    state.counters["extract_vs_copy"] = extract / baseline;
    state.counters["goal_MiB"] = 16;
}

BENCHMARK(BM_PeakMemoryOf1GiB)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
