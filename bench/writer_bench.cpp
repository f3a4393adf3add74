// Archive creation through the exports, and the block compressor alone,
// over 64 MiB of a mixed corpus (mixed_corpus.h) written as one file.
//
// BM_CompressBlocks: libdeflate as the writer uses it against zlib as the
// writer used it (one fresh stream per 1 MiB block), speed and ratio, in the
// same run.
// BM_CreateArchive: the writer per cipher and level; in the same row zlib
// alone and the writer's own compressor alone over the same blocks, the
// cipher alone over as many bytes as the archive holds. Each archive is
// written by a child process, whose peak resident set is reported with
// the program's own memory included.

#include "core/archive_format.h"
#include "core/block_compressor.h"
#include "crypto/cipher.h"
#include "crypto/crc32.h"
#include "ivqa.h"
#include "mixed_corpus.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t InputLength = 64 * BlockSize;
constexpr std::size_t ModuleLength = 69632;

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// The input, assembled and written once for all rows.
struct Fixture {
    Fixture() : dir(fs::temp_directory_path() / ("ivqa-bench-" + std::to_string(::getpid())))
    {
        fs::create_directories(dir);
        input = MixedCorpus(InputLength);
        std::ofstream(dir / "input.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    }
    ~Fixture() { fs::remove_all(dir); }

    fs::path dir;
    std::vector<std::uint8_t> input;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

struct CompressorRun {
    double seconds = 0;
    std::size_t packed = 0;
};

// zlib alone: one fresh stream per 1 MiB block, as the writer made them.
CompressorRun ZlibBlocks(const std::vector<std::uint8_t>& input, int level)
{
    std::vector<std::uint8_t> packed(compressBound(BlockSize));
    CompressorRun run;
    const auto start = Clock::now();
    for (std::size_t offset = 0; offset < input.size(); offset += BlockSize) {
        uLongf length = packed.size();
        if (compress2(packed.data(), &length, input.data() + offset, BlockSize, level) != Z_OK)
            std::abort();
        run.packed += length;
        benchmark::DoNotOptimize(packed.data());
    }
    run.seconds = Seconds(Clock::now() - start);
    return run;
}

// The writer's compressor alone, on the same blocks.
CompressorRun WriterCompressorBlocks(const std::vector<std::uint8_t>& input, int level)
{
    std::vector<std::uint8_t> packed(MaxPackedBlock + PackedSlack);
    z_stream fallback{};
    BlockCompressor compressor;
    if (!compressor.Prepare(level))
        std::abort();
    CompressorRun run;
    const auto start = Clock::now();
    for (std::size_t offset = 0; offset < input.size(); offset += BlockSize) {
        std::uint32_t length = 0;
        if (compressor.Compress(input.data() + offset, BlockSize, packed.data(), packed.size(), fallback,
                                &length) != IQ_OK)
            std::abort();
        run.packed += length;
        benchmark::DoNotOptimize(packed.data());
    }
    run.seconds = Seconds(Clock::now() - start);
    return run;
}

double CrcSeconds(const std::vector<std::uint8_t>& input)
{
    const auto start = Clock::now();
    benchmark::DoNotOptimize(Crc32Update(0xFFFFFFFFU, input.data(), input.size()));
    return Seconds(Clock::now() - start);
}

double CipherSeconds(std::uint32_t cipherId, std::size_t bytes)
{
    const std::uint8_t key[64] = {1, 2, 3};
    const std::uint8_t iv[16] = {4, 5, 6};
    CipherContext context;
    if (CipherInit(&context, cipherId, CipherKeyLength(cipherId), iv, key) == 0)
        std::abort();
    std::vector<std::uint8_t> buffer(BlockSize, 0x5A);
    const auto start = Clock::now();
    for (std::size_t done = 0; done < bytes; done += BlockSize) {
        CipherProcess(&context, buffer.data(), std::min<std::size_t>(BlockSize, bytes - done));
        benchmark::DoNotOptimize(buffer.data());
    }
    const double seconds = Seconds(Clock::now() - start);
    CipherRelease(&context);
    return seconds;
}

// A field of /proc/self/status in KiB.
long StatusKib(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

void ResetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One archive of the input; returns the payload length.
std::size_t WriteArchive(const fs::path& archive, const fs::path& input, std::uint32_t cipherId, int level)
{
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << std::string(ModuleLength, '\0');
    const std::u16string archivePath = archive.u16string();
    const std::u16string inputPath = input.u16string();
    SdaContext* context = nullptr;
    if (IQ_SDAInit(&context, archivePath.c_str(), u"benchmark pass", nullptr, cipherId, nullptr, nullptr,
                   nullptr, nullptr, nullptr) != IQ_OK ||
        IQ_SDAAddFile(context, inputPath.c_str(), level) != IQ_OK)
        std::abort();
    IQ_SDAFinal(context);
    return fs::file_size(archive) - ModuleLength;
}

void BM_CompressBlocks(benchmark::State& state)
{
    const auto level = static_cast<int>(state.range(0));
    const Fixture& fixture = Shared();
    CompressorRun zlib;
    CompressorRun writer;
    for (auto _ : state) {
        zlib = ZlibBlocks(fixture.input, level);
        writer = WriterCompressorBlocks(fixture.input, level);
    }
    const double input = static_cast<double>(InputLength);
    state.counters["zlib_MBps"] = input / 1e6 / zlib.seconds;
    state.counters["libdeflate_MBps"] = input / 1e6 / writer.seconds;
    state.counters["speed_vs_zlib"] = zlib.seconds / writer.seconds;
    state.counters["zlib_ratio"] = input / static_cast<double>(zlib.packed);
    state.counters["libdeflate_ratio"] = input / static_cast<double>(writer.packed);
}

struct WriterRun {
    double seconds;
    std::size_t payload;
    long peakResidentKib;
};

// One archive, written by a child process that first drops its copy of the
// corpus, so that its peak resident set is the writer's and the program's.
WriterRun WriteInChild(Fixture& fixture, std::uint32_t cipherId, int level)
{
    int channel[2];
    if (::pipe(channel) != 0)
        std::abort();
    const pid_t child = ::fork();
    if (child < 0)
        std::abort();
    if (child == 0) {
        ::close(channel[0]);
        std::vector<std::uint8_t>().swap(fixture.input);
        WriterRun run{};
        ResetPeakResident();
        const auto start = Clock::now();
        run.payload = WriteArchive(fixture.dir / "archive.run", fixture.dir / "input.bin", cipherId, level);
        run.seconds = Seconds(Clock::now() - start);
        run.peakResidentKib = StatusKib("VmHWM");
        const bool sent = ::write(channel[1], &run, sizeof run) == static_cast<ssize_t>(sizeof run);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    WriterRun run{};
    const bool received = ::read(channel[0], &run, sizeof run) == static_cast<ssize_t>(sizeof run);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
    return run;
}

void BM_CreateArchive(benchmark::State& state)
{
    const auto cipherId = static_cast<std::uint32_t>(state.range(0));
    const auto level = static_cast<int>(state.range(1));
    Fixture& fixture = Shared();

    WriterRun run{};
    for (auto _ : state)
        run = WriteInChild(fixture, cipherId, level);
    const double zlibSeconds = ZlibBlocks(fixture.input, level).seconds;
    const double compressSeconds = WriterCompressorBlocks(fixture.input, level).seconds + CrcSeconds(fixture.input);
    const double cipherSeconds = CipherSeconds(cipherId, run.payload);

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * InputLength));
    state.counters["writer_MBps"] = InputLength / 1e6 / run.seconds;
    state.counters["zlib_MBps"] = InputLength / 1e6 / zlibSeconds;
    state.counters["vs_zlib"] = zlibSeconds / run.seconds;
    // Above 1 when compressing overlaps encrypting; at most 1 for a serial
    // writer, which does both and the reads and writes besides.
    state.counters["vs_stage_sum"] = (compressSeconds + cipherSeconds) / run.seconds;
    state.counters["cipher_share"] = cipherSeconds / run.seconds;
    state.counters["compress_share"] = compressSeconds / run.seconds;
    state.counters["packed_ratio"] = static_cast<double>(run.payload) / InputLength;
    state.counters["peak_rss_MiB"] = static_cast<double>(run.peakResidentKib) / 1024;
    fs::remove(fixture.dir / "archive.run");
}

void CreateArguments(benchmark::internal::Benchmark* benchmark)
{
    for (const int cipherId : {0, 1, 2, 3, 4})
        for (const int level : {1, 7, 9})
            benchmark->Args({cipherId, level});
}

} // namespace

BENCHMARK(BM_CompressBlocks)->ArgName("level")->Arg(1)->Arg(6)->Arg(7)->Arg(9)
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateArchive)->Apply(CreateArguments)->ArgNames({"cipher", "level"})
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
