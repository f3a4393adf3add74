// Archive creation through the exports, per cipher and level, over 64 MiB
// of input that is half text-like and half random. Each row also measures,
// in the same run, zlib compressing the same 1 MiB blocks on its own (the
// baseline) and the cipher alone over as many bytes as the archive holds.

#include "core/archive_format.h"
#include "crypto/cipher.h"
#include "ivqa.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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

std::vector<std::uint8_t> MixedInput()
{
    static const char* const words[] = {"archive", "block", "cipher", "the", "of", "and", "file",
                                        "folder", "stream", "record", "key", "a", "to", "in"};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(InputLength);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    while (bytes.size() < InputLength / 2) {
        const std::string word = words[next() % std::size(words)];
        bytes.insert(bytes.end(), word.begin(), word.end());
        bytes.push_back(next() % 12 == 0 ? '\n' : ' ');
    }
    bytes.resize(InputLength / 2);
    while (bytes.size() < InputLength)
        bytes.push_back(static_cast<std::uint8_t>(next() >> 56));
    return bytes;
}

// The input, written once for all rows.
struct Fixture {
    Fixture() : dir(fs::temp_directory_path() / ("ivqa-bench-" + std::to_string(::getpid())))
    {
        fs::create_directories(dir);
        input = MixedInput();
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

// zlib alone: one fresh stream per 1 MiB block, as the writer makes them.
double ZlibSeconds(const std::vector<std::uint8_t>& input, int level)
{
    std::vector<std::uint8_t> packed(compressBound(BlockSize));
    const auto start = Clock::now();
    for (std::size_t offset = 0; offset < input.size(); offset += BlockSize) {
        uLongf length = packed.size();
        if (compress2(packed.data(), &length, input.data() + offset, BlockSize, level) != Z_OK)
            std::abort();
        benchmark::DoNotOptimize(packed.data());
    }
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

void BM_CreateArchive(benchmark::State& state)
{
    const auto cipherId = static_cast<std::uint32_t>(state.range(0));
    const auto level = static_cast<int>(state.range(1));
    Fixture& fixture = Shared();
    const fs::path archive = fixture.dir / "archive.run";

    double writerSeconds = 0;
    std::size_t payload = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        payload = WriteArchive(archive, fixture.dir / "input.bin", cipherId, level);
        writerSeconds += Seconds(Clock::now() - start);
    }
    writerSeconds /= static_cast<double>(state.iterations());
    const double zlibSeconds = ZlibSeconds(fixture.input, level);
    const double cipherSeconds = CipherSeconds(cipherId, payload);

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * InputLength));
    state.counters["writer_MBps"] = InputLength / 1e6 / writerSeconds;
    state.counters["zlib_MBps"] = InputLength / 1e6 / zlibSeconds;
    state.counters["vs_zlib"] = zlibSeconds / writerSeconds;
    state.counters["cipher_share"] = cipherSeconds / writerSeconds;
    state.counters["packed_ratio"] = static_cast<double>(payload) / InputLength;
    fs::remove(archive);
}

void Arguments(benchmark::internal::Benchmark* benchmark)
{
    for (const int cipherId : {0, 1, 2, 3, 4})
        for (const int level : {1, 7, 9})
            benchmark->Args({cipherId, level});
}

} // namespace

BENCHMARK(BM_CreateArchive)->Apply(Arguments)->ArgNames({"cipher", "level"})
    ->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
