// What one guess at an archive's passphrase costs: the key derivation of
// each cipher, from the passphrase to the key, as the module runs it.
// bench/guess-cost runs this and scrypt at 2^18 in the same run and prints
// the ratios.

#include "core/key_derivation.h"
#include "core/sealed_key.h"
#include "crypto/cipher.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr std::uint8_t Salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr char16_t Guess[] = u"correct horse";

void BM_GuessFeedbackCipher(benchmark::State& state)
{
    const auto cipherId = static_cast<std::uint32_t>(state.range(0));
    std::uint8_t key[KeyBufferLength];
    for (auto _ : state) {
        DeriveKey(cipherId, Guess, nullptr, Salt, key, "bench");
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_GuessFeedbackCipher)->DenseRange(0, CipherCount - 1)->Unit(benchmark::kMillisecond);

void BM_GuessAuthenticatedCipher(benchmark::State& state)
{
    const SealedCost cost{static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))};
    std::uint8_t key[KeyBufferLength];
    for (auto _ : state) {
        if (DeriveSealedKey(cost, Guess, nullptr, Salt, key, "bench", nullptr) != DeriveKeyResult::Ok)
            state.SkipWithError("Argon2id failed");
        benchmark::DoNotOptimize(key);
    }
}
// The default cost, and neighbours that show how the time scales.
BENCHMARK(BM_GuessAuthenticatedCipher)
    ->Args({SealedCostDefault.passes, SealedCostDefault.memoryKiB})
    ->Args({8, 262144})
    ->Args({12, 262144})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
