// Wipe throughput of "Fast" (one pass) on a 256 MiB file, against
// `shred -n 1` on a file of the same size in the same directory, in the
// same run. Both are bound by the device's write speed, so the ratio is
// what counts. IVQA_BENCH_DIR chooses the directory (default /var/tmp,
// which unlike /tmp is rarely in memory).

#include "ivqa.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t FileSize = 256U << 20;

std::string g_dir;

const char* FilesystemName(long type)
{
    const std::map<long, const char*> names = {
        {0xEF53, "ext2/ext3/ext4"}, {0x01021994, "tmpfs"}, {0x58465342, "xfs"},  {0x9123683E, "btrfs"},
        {0x794C7630, "overlayfs"},  {0x6969, "nfs"},       {0x2FC12FC1, "zfs"},  {0xF2F52010, "f2fs"},
    };
    const auto found = names.find(type);
    return found != names.end() ? found->second : "other";
}

// A file of FileSize bytes that is on the disk before the timing starts.
void CreateVictim(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    std::vector<unsigned char> chunk(1U << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<unsigned char>(i * 31 + 7);
    for (std::size_t written = 0; written < FileSize; written += chunk.size())
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
            throw std::runtime_error("cannot write " + path);
    ::fsync(fd);
    ::close(fd);
}

void BM_WipeFast(benchmark::State& state)
{
    const std::string path = g_dir + "/wipe.bin";
    const std::u16string wide(path.begin(), path.end());
    for (auto _ : state) {
        state.PauseTiming();
        CreateVictim(path);
        state.ResumeTiming();
        WipeContext* context = nullptr;
        if (IQ_WipeInit(&context, 1, 0, nullptr, nullptr, nullptr, nullptr) != IQ_OK ||
            IQ_WipeFile(context, wide.c_str()) != IQ_OK)
            state.SkipWithError("wipe failed");
        IQ_WipeFinal(context);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize));
}

// Times `shred` with `options` on a fresh file.
void RunShred(benchmark::State& state, std::vector<std::string> options)
{
    const std::string path = g_dir + "/shred.bin";
    options.insert(options.begin(), "shred");
    options.push_back(path);
    std::vector<char*> argv;
    for (std::string& option : options)
        argv.push_back(option.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        CreateVictim(path);
        state.ResumeTiming();
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, "shred", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("shred failed or is not installed");
        state.PauseTiming();
        ::unlink(path.c_str());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize));
}

// The baseline: one pass of shred's own random data.
void BM_ShredOnePass(benchmark::State& state)
{
    RunShred(state, {"-n1"});
}

// The same pattern as "Fast" (zeros), for a like-for-like reading.
void BM_ShredZeroPass(benchmark::State& state)
{
    RunShred(state, {"-n0", "-z"});
}

BENCHMARK(BM_WipeFast)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShredOnePass)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShredZeroPass)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// Keeps each benchmark's throughput for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto counter = run.counters.find("bytes_per_second");
            if (!run.error_occurred && counter != run.counters.end())
                throughput[run.benchmark_name()] = counter->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> throughput;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* chosen = std::getenv("IVQA_BENCH_DIR");
    std::string pattern = std::string(chosen != nullptr && *chosen != '\0' ? chosen : "/var/tmp") +
                          "/ivqa-wipe-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    g_dir = pattern;
    struct statfs fs{};
    if (statfs(g_dir.c_str(), &fs) == 0)
        std::printf("directory %s, filesystem %s (type 0x%lX)\n", g_dir.c_str(), FilesystemName(fs.f_type),
                    static_cast<unsigned long>(fs.f_type));
    std::fflush(stdout);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    ::unlink((g_dir + "/wipe.bin").c_str());
    ::unlink((g_dir + "/shred.bin").c_str());
    ::rmdir(g_dir.c_str());

    const double wipe = reporter.throughput["BM_WipeFast/iterations:3/real_time"];
    const double shred = reporter.throughput["BM_ShredOnePass/iterations:3/real_time"];
    const double zeros = reporter.throughput["BM_ShredZeroPass/iterations:3/real_time"];
    if (wipe > 0 && shred > 0)
        std::printf("Fast: %.1f MB/s per pass; shred -n 1: %.1f MB/s, ratio %.2f\n", wipe / 1e6, shred / 1e6,
                    wipe / shred);
    if (wipe > 0 && zeros > 0)
        std::printf("shred -n 0 -z (zeros, as Fast): %.1f MB/s, ratio %.2f\n", zeros / 1e6, wipe / zeros);
    std::fflush(stdout);
    return 0;
}
