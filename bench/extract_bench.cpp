// Extraction throughput (MB/s of output) for the writer benchmark's 64 MiB
// of input, text-like then random, per cipher, against zlib's one-shot
// inflate of the same blocks alone. The archives are written by libivqa; the engine reads them
// from memory and checks everything without writing (its test mode), and
// once, for AES-256, restores the file to disk.

#include "core/archive_format.h"
#include "ivqa.h"
#include "module/extraction_engine.h"
#include "platform/utf.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <stdexcept>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t InputSize = 64 * std::size_t{BlockSize};
constexpr int Level = 7; // the front end's default compression level

// The input of the writer benchmark, generated the same way.
const std::vector<std::uint8_t>& Input()
{
    static const std::vector<std::uint8_t> input = [] {
        static const char* const words[] = {"archive", "block", "cipher", "the", "of", "and", "file",
                                            "folder", "stream", "record", "key", "a", "to", "in"};
        std::vector<std::uint8_t> bytes;
        bytes.reserve(InputSize);
        std::uint64_t state = 0x9E3779B97F4A7C15ULL;
        const auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        while (bytes.size() < InputSize / 2) {
            const std::string word = words[next() % std::size(words)];
            bytes.insert(bytes.end(), word.begin(), word.end());
            bytes.push_back(next() % 12 == 0 ? '\n' : ' ');
        }
        bytes.resize(InputSize / 2);
        while (bytes.size() < InputSize)
            bytes.push_back(static_cast<std::uint8_t>(next() >> 56));
        return bytes;
    }();
    return input;
}

fs::path Scratch()
{
    static const fs::path path = [] {
        std::string pattern = (fs::temp_directory_path() / "ivqa-extract-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        std::ofstream(fs::path(pattern) / "input.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(Input().data()), static_cast<std::streamsize>(InputSize));
        return fs::path(pattern);
    }();
    return path;
}

// The payload libivqa writes for one input file (no module in front).
const std::vector<std::uint8_t>& Payload(std::uint32_t cipher)
{
    static std::map<std::uint32_t, std::vector<std::uint8_t>> payloads;
    auto& payload = payloads[cipher];
    if (!payload.empty())
        return payload;
    const fs::path archive = Scratch() / ("archive" + std::to_string(cipher));
    std::ofstream(archive).close();
    const auto archiveName = Utf8ToUtf16(archive.string()).value();
    const auto inputName = Utf8ToUtf16((Scratch() / "input.bin").string()).value();
    SdaContext* context = nullptr;
    if (IQ_SDAInit(&context, archiveName.c_str(), u"bench", nullptr, cipher, nullptr, nullptr, nullptr, nullptr,
                   nullptr) != IQ_OK ||
        IQ_SDAAddFile(context, inputName.c_str(), Level) != IQ_OK)
        throw std::runtime_error("writing the archive failed");
    IQ_SDAFinal(context);
    std::ifstream in(archive, std::ios::binary);
    payload.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return payload;
}

class QuietObserver final : public ExtractObserver {
public:
    void ReportEntry(const ExtractEntry&) override {}
    bool AskOverwrite(std::u16string_view) override { return true; }
};

double g_inflateBytesPerSecond = 0;

void ReportRate(benchmark::State& state, std::chrono::duration<double> elapsed, bool baseline)
{
    const double rate = static_cast<double>(InputSize) * static_cast<double>(state.iterations()) / elapsed.count();
    state.SetBytesProcessed(static_cast<std::int64_t>(InputSize) * state.iterations());
    state.counters["MB/s"] = rate / 1e6;
    if (baseline)
        g_inflateBytesPerSecond = rate;
    else if (g_inflateBytesPerSecond > 0)
        state.counters["vs_inflate"] = rate / g_inflateBytesPerSecond;
}

// zlib alone: one fresh stream and one inflate call per block, as the
// engine does, on the blocks as the writer compresses them.
void InflateBlocksAlone(benchmark::State& state)
{
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t offset = 0; offset < InputSize; offset += BlockSize) {
        uLongf length = compressBound(BlockSize);
        std::vector<std::uint8_t> packed(length);
        compress2(packed.data(), &length, Input().data() + offset, BlockSize, Level);
        packed.resize(length);
        blocks.push_back(std::move(packed));
    }
    std::vector<std::uint8_t> output(BlockSize);
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (auto& packed : blocks) {
            z_stream stream{};
            inflateInit(&stream);
            stream.next_in = packed.data();
            stream.avail_in = static_cast<uInt>(packed.size());
            stream.next_out = output.data();
            stream.avail_out = BlockSize;
            if (inflate(&stream, Z_FINISH) != Z_STREAM_END)
                state.SkipWithError("inflate failed");
            inflateEnd(&stream);
            benchmark::DoNotOptimize(output.data());
        }
        elapsed += std::chrono::steady_clock::now() - start;
    }
    ReportRate(state, elapsed, true);
}

void RunEngine(benchmark::State& state, std::uint32_t cipher, ExtractMode mode)
{
    const auto& payload = Payload(cipher);
    const MemoryPayloadArchive archive(payload);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const fs::path destination = Scratch() / "out";
    const auto destinationName = Utf8ToUtf16(destination.string()).value();
    QuietObserver observer;
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        fs::remove_all(destination);
        fs::create_directory(destination);
        ExtractState extractState;
        ExtractInput input;
        input.archive = &archive;
        input.passphrase = u"bench";
        input.destination = destinationName;
        input.mode = mode;
        input.fileSystem = fileSystem.get();
        input.observer = &observer;
        const auto start = std::chrono::steady_clock::now();
        if (RunExtraction(extractState, input) != ExtractResult::Done)
            state.SkipWithError("extraction failed");
        elapsed += std::chrono::steady_clock::now() - start;
    }
    fs::remove_all(destination);
    ReportRate(state, elapsed, false);
}

void TestArchive(benchmark::State& state)
{
    RunEngine(state, static_cast<std::uint32_t>(state.range(0)), ExtractMode::Test);
}

void ExtractArchiveToDisk(benchmark::State& state)
{
    RunEngine(state, CipherAes256, ExtractMode::Extract);
}

// The baseline runs first so that every engine figure is set against it.
BENCHMARK(InflateBlocksAlone)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(TestArchive)
    ->ArgName("cipher")
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(ExtractArchiveToDisk)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

struct ScratchCleanup {
    ~ScratchCleanup()
    {
        std::error_code error;
        if (!Scratch().empty())
            fs::remove_all(Scratch(), error);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const ScratchCleanup cleanup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
