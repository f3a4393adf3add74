// CipherProcess throughput per cipher and direction on a 1 MiB buffer, with
// OpenSSL's one-block-per-byte CFB8 modes as baselines in the same run and
// each block function's own latency (a chain of dependent block
// encryptions) as the bound the feedback mode can approach. CRC-32, which
// every block of data passes through on both sides, against zlib's.

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/cast256.h"
#include "crypto/cipher.h"
#include "crypto/crc32.h"
#include "crypto/rc5.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <immintrin.h>
#include <x86intrin.h>
#include <zlib.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t BufferLength = 1 << 20;

std::vector<std::uint8_t> Pattern(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return bytes;
}

// MB/s (10^6 bytes) and time-stamp-counter ticks per byte.
void SetThroughput(benchmark::State& state, std::uint64_t ticks, std::size_t bytesPerIteration)
{
    const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(bytesPerIteration);
    state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["ticks/B"] = static_cast<double>(ticks) / bytes;
}

void CipherThroughput(benchmark::State& state, std::uint32_t id, CipherDirection direction,
                      bool forceAesTables)
{
    CipherForceAesTablePath(forceAesTables);
    const auto key = Pattern(CipherKeyLength(id));
    const auto iv = Pattern(CipherIvFieldLength);
    CipherContext context;
    if (CipherInit(&context, id, CipherKeyLength(id), iv.data(), key.data(), direction) == 0) {
        state.SkipWithError("CipherInit failed");
        return;
    }
    auto buffer = Pattern(BufferLength);
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        CipherProcess(&context, buffer.data(), buffer.size());
        ticks += __rdtsc() - start;
        benchmark::DoNotOptimize(buffer.data());
    }
    CipherRelease(&context);
    CipherForceAesTablePath(false);
    SetThroughput(state, ticks, BufferLength);
}

void OpenSslThroughput(benchmark::State& state, const char* name, CipherDirection direction)
{
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (cipher == nullptr) {
        state.SkipWithError("not offered by the loaded providers");
        return;
    }
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    const auto key = Pattern(static_cast<std::size_t>(EVP_CIPHER_get_key_length(cipher)));
    const auto iv = Pattern(16);
    const int encrypt = direction == CipherDirection::Encrypt ? 1 : 0;
    if (context == nullptr ||
        EVP_CipherInit_ex2(context, cipher, key.data(), iv.data(), encrypt, nullptr) != 1) {
        state.SkipWithError("cipher setup failed");
    } else {
        auto buffer = Pattern(BufferLength);
        std::uint64_t ticks = 0;
        for (auto _ : state) {
            int written = 0;
            const std::uint64_t start = __rdtsc();
            EVP_CipherUpdate(context, buffer.data(), &written, buffer.data(), static_cast<int>(buffer.size()));
            ticks += __rdtsc() - start;
            benchmark::DoNotOptimize(buffer.data());
        }
        SetThroughput(state, ticks, BufferLength);
    }
    EVP_CIPHER_CTX_free(context);
    EVP_CIPHER_free(cipher);
}

// One dependent block encryption per "byte": what the mode costs at best.
void BlockLatency(benchmark::State& state, std::uint32_t id)
{
    const auto key = Pattern(CipherKeyLength(id));
    const auto iv = Pattern(CipherIvFieldLength);
    CipherForceAesTablePath(true);
    CipherContext context;
    const bool keyed = CipherInit(&context, id, CipherKeyLength(id), iv.data(), key.data()) == 1;
    CipherForceAesTablePath(false);
    if (!keyed) {
        state.SkipWithError("CipherInit failed");
        return;
    }
    constexpr std::size_t Blocks = 1 << 14;
    std::uint8_t block[16] = {1, 2, 3};
    std::uint64_t a = 1;
    std::uint64_t b = 2;
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        for (std::size_t n = 0; n < Blocks; ++n) {
            switch (id) {
            case CipherAes256:
                AesEncryptBlock(static_cast<const AesState*>(context.state), block);
                break;
            case CipherCast256:
                Cast256EncryptBlock(static_cast<const Cast256State*>(context.state), block);
                break;
            case CipherBlowfish:
                BlowfishEncryptBlock(static_cast<const BlowfishState*>(context.state), block);
                break;
            case CipherRc5:
                Rc5EncryptBlock(static_cast<const Rc5State*>(context.state), &a, &b);
                break;
            }
        }
        ticks += __rdtsc() - start;
        benchmark::DoNotOptimize(block);
        benchmark::DoNotOptimize(a);
    }
    CipherRelease(&context);
    SetThroughput(state, ticks, Blocks);
}

// The same chain through AES-NI: fourteen dependent rounds per block, the
// latency bound of the AES-NI feedback path. Round-key values do not change
// the latency.
__attribute__((target("aes"))) void AesNiBlockLatency(benchmark::State& state)
{
    if (!__builtin_cpu_supports("aes")) {
        state.SkipWithError("this processor has no AES-NI");
        return;
    }
    __m128i roundKeys[15];
    for (int round = 0; round < 15; ++round)
        roundKeys[round] = _mm_set1_epi32(0x01020304 * (round + 1));
    constexpr std::size_t Blocks = 1 << 14;
    __m128i block = _mm_set1_epi32(7);
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        for (std::size_t n = 0; n < Blocks; ++n) {
            block = _mm_xor_si128(block, roundKeys[0]);
            for (int round = 1; round < 14; ++round)
                block = _mm_aesenc_si128(block, roundKeys[round]);
            block = _mm_aesenclast_si128(block, roundKeys[14]);
        }
        ticks += __rdtsc() - start;
        benchmark::DoNotOptimize(block);
    }
    SetThroughput(state, ticks, Blocks);
}

void Crc32Throughput(benchmark::State& state, bool zlib)
{
    const auto buffer = Pattern(BufferLength);
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        const std::uint64_t start = __rdtsc();
        std::uint32_t crc = zlib ? static_cast<std::uint32_t>(crc32(0L, buffer.data(), BufferLength))
                                 : Crc32Update(0xFFFFFFFFU, buffer.data(), BufferLength);
        ticks += __rdtsc() - start;
        benchmark::DoNotOptimize(crc);
    }
    SetThroughput(state, ticks, BufferLength);
}

// Prints the usual table and keeps each benchmark's best MB/s for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const auto counter = run.counters.find("MB/s");
            if (counter == run.counters.end())
                continue;
            double& best = best_[run.benchmark_name()];
            best = std::max(best, counter->second.value);
        }
    }

    void PrintRatio(const std::string& ours, const std::string& baseline) const
    {
        const auto a = best_.find(ours);
        const auto b = best_.find(baseline);
        if (a == best_.end() || b == best_.end() || b->second == 0)
            return;
        std::printf("%-40s / %-36s = %.2f\n", ours.c_str(), baseline.c_str(), a->second / b->second);
    }

private:
    std::map<std::string, double> best_;
};

const char* const CipherNames[] = {"AES-256", "CAST-256", "Blowfish", "RC4", "RC5"};

std::string DirectionName(CipherDirection direction)
{
    return direction == CipherDirection::Encrypt ? "encrypt" : "decrypt";
}

} // namespace

int main(int argc, char** argv)
{
    // Loading any provider by name stops the default one loading by itself.
    OSSL_PROVIDER* defaultProvider = OSSL_PROVIDER_load(nullptr, "default");
    OSSL_PROVIDER* legacyProvider = OSSL_PROVIDER_load(nullptr, "legacy");

    for (CipherDirection direction : {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
        const std::string dir = DirectionName(direction);
        for (std::uint32_t id = 0; id < CipherCount; ++id)
            benchmark::RegisterBenchmark(("CipherProcess/" + std::string(CipherNames[id]) + "/" + dir).c_str(),
                                         CipherThroughput, id, direction, false);
        benchmark::RegisterBenchmark(("CipherProcess/AES-256-tables/" + dir).c_str(), CipherThroughput,
                                     CipherAes256, direction, true);
        benchmark::RegisterBenchmark(("OpenSSL/aes-256-cfb8/" + dir).c_str(), OpenSslThroughput,
                                     "AES-256-CFB8", direction);
        benchmark::RegisterBenchmark(("OpenSSL/bf-cfb8/" + dir).c_str(), OpenSslThroughput, "BF-CFB8",
                                     direction);
    }
    for (std::uint32_t id : {CipherAes256, CipherCast256, CipherBlowfish, CipherRc5})
        benchmark::RegisterBenchmark(("BlockLatency/" + std::string(CipherNames[id]) +
                                      (id == CipherAes256 ? "-tables" : ""))
                                         .c_str(),
                                     BlockLatency, id);
    benchmark::RegisterBenchmark("BlockLatency/AES-256-NI", AesNiBlockLatency);
    benchmark::RegisterBenchmark("Crc32/ours", Crc32Throughput, false);
    benchmark::RegisterBenchmark("Crc32/zlib", Crc32Throughput, true);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatios of best MB/s in this run:\n");
    for (const char* dir : {"encrypt", "decrypt"}) {
        reporter.PrintRatio(std::string("CipherProcess/AES-256/") + dir, std::string("OpenSSL/aes-256-cfb8/") + dir);
        reporter.PrintRatio(std::string("CipherProcess/AES-256-tables/") + dir,
                            std::string("OpenSSL/aes-256-cfb8/") + dir);
        reporter.PrintRatio(std::string("CipherProcess/Blowfish/") + dir, std::string("OpenSSL/bf-cfb8/") + dir);
    }
    reporter.PrintRatio("CipherProcess/AES-256-tables/encrypt", "BlockLatency/AES-256-tables");
    for (const char* dir : {"encrypt", "decrypt"})
        reporter.PrintRatio(std::string("CipherProcess/AES-256/") + dir, "BlockLatency/AES-256-NI");
    for (const char* name : {"CAST-256", "Blowfish", "RC5"})
        reporter.PrintRatio(std::string("CipherProcess/") + name + "/encrypt", std::string("BlockLatency/") + name);
    reporter.PrintRatio("Crc32/ours", "Crc32/zlib");

    benchmark::Shutdown();
    if (legacyProvider != nullptr)
        OSSL_PROVIDER_unload(legacyProvider);
    if (defaultProvider != nullptr)
        OSSL_PROVIDER_unload(defaultProvider);
    return 0;
}
