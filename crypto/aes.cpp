#include "crypto/aes.h"

#include "crypto/aes_ni.h"
#include "crypto/byte_order.h"
#include "crypto/feedback_mode.h"
#include "platform/secure_memory.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <mutex>

namespace {

// Generated at run time: the image carries no AES table.
std::uint8_t g_sbox[256];
// g_roundTables[0][x] holds 2·S[x], S[x], S[x], 3·S[x] from its lowest byte
// up; tables 1 to 3 are table 0 rotated left by 8, 16 and 24 bits.
std::uint32_t g_roundTables[4][256];
std::uint32_t g_roundConstants[10];
std::atomic<std::uint32_t> g_tablesBuilt{0};
// Two threads keying AES for the first time must not write the tables at once.
std::mutex g_tablesMutex;

std::atomic<bool> g_forceTablePath{false};

bool ProcessorHasAesNi()
{
#if !defined(__x86_64__) && !defined(__i386__)
    return false; // WebAssembly: the table path only
#else
    static const bool has = [] {
        // A key setup from a load constructor may run before libgcc's own.
        __builtin_cpu_init();
        return __builtin_cpu_supports("aes") != 0 && __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
#endif
}

std::uint8_t Xtime(std::uint8_t a)
{
    return static_cast<std::uint8_t>(a << 1 ^ ((a & 0x80) != 0 ? 0x1B : 0));
}

void FillTables()
{
    std::uint8_t antilog[256];
    std::uint8_t log[256] = {};
    std::uint8_t a = 1;
    for (int i = 0; i < 256; ++i) {
        antilog[i] = a;
        log[a] = static_cast<std::uint8_t>(i);
        a ^= Xtime(a); // times the generator 3
    }
    log[1] = 0;

    std::uint8_t constant = 1;
    for (std::uint32_t& rc : g_roundConstants) {
        rc = constant;
        constant = Xtime(constant);
    }

    for (int x = 0; x < 256; ++x) {
        const std::uint8_t inverse = x == 0 ? 0 : antilog[255 - log[x]];
        const std::uint8_t s = inverse ^ std::rotl(inverse, 1) ^ std::rotl(inverse, 2) ^
                               std::rotl(inverse, 3) ^ std::rotl(inverse, 4) ^ 0x63;
        g_sbox[x] = s;
    }

    const auto multiply = [&](std::uint8_t x, std::uint8_t y) -> std::uint32_t {
        if (x == 0 || y == 0)
            return 0;
        return antilog[(log[x] + log[y]) % 255];
    };
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = g_sbox[x];
        const std::uint32_t column =
            multiply(2, s) | multiply(1, s) << 8 | multiply(1, s) << 16 | multiply(3, s) << 24;
        for (int t = 0; t < 4; ++t)
            g_roundTables[t][x] = std::rotl(column, 8 * t);
    }
}

std::uint32_t SubWord(std::uint32_t word)
{
    return static_cast<std::uint32_t>(g_sbox[word & 0xFF]) |
           static_cast<std::uint32_t>(g_sbox[word >> 8 & 0xFF]) << 8 |
           static_cast<std::uint32_t>(g_sbox[word >> 16 & 0xFF]) << 16 |
           static_cast<std::uint32_t>(g_sbox[word >> 24]) << 24;
}

// One column of SubBytes, ShiftRows, MixColumns and AddRoundKey: a, b, c, d
// are the input columns whose rows 0, 1, 2, 3 land in this column.
inline std::uint32_t RoundColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                                 std::uint32_t key)
{
    return g_roundTables[0][a & 0xFF] ^ g_roundTables[1][b >> 8 & 0xFF] ^
           g_roundTables[2][c >> 16 & 0xFF] ^ g_roundTables[3][d >> 24] ^ key;
}

inline std::uint32_t LastRoundColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                     std::uint32_t d, std::uint32_t key)
{
    return (static_cast<std::uint32_t>(g_sbox[a & 0xFF]) |
            static_cast<std::uint32_t>(g_sbox[b >> 8 & 0xFF]) << 8 |
            static_cast<std::uint32_t>(g_sbox[c >> 16 & 0xFF]) << 16 |
            static_cast<std::uint32_t>(g_sbox[d >> 24]) << 24) ^
           key;
}

// The 14 rounds on the block held as four little-endian column words.
[[gnu::always_inline]] inline void EncryptColumns(const std::uint32_t* roundKeys, std::uint32_t& c0,
                                                  std::uint32_t& c1, std::uint32_t& c2,
                                                  std::uint32_t& c3)
{
    std::uint32_t s0 = c0 ^ roundKeys[0];
    std::uint32_t s1 = c1 ^ roundKeys[1];
    std::uint32_t s2 = c2 ^ roundKeys[2];
    std::uint32_t s3 = c3 ^ roundKeys[3];
#pragma GCC unroll 13
    for (int round = 1; round < 14; ++round) {
        const std::uint32_t* key = roundKeys + 4 * round;
        const std::uint32_t t0 = RoundColumn(s0, s1, s2, s3, key[0]);
        const std::uint32_t t1 = RoundColumn(s1, s2, s3, s0, key[1]);
        const std::uint32_t t2 = RoundColumn(s2, s3, s0, s1, key[2]);
        const std::uint32_t t3 = RoundColumn(s3, s0, s1, s2, key[3]);
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    const std::uint32_t* key = roundKeys + 56;
    c0 = LastRoundColumn(s0, s1, s2, s3, key[0]);
    c1 = LastRoundColumn(s1, s2, s3, s0, key[1]);
    c2 = LastRoundColumn(s2, s3, s0, s1, key[2]);
    c3 = LastRoundColumn(s3, s0, s1, s2, key[3]);
}

struct AesTableCipher : LaneRegisterOps<2> {
    using Keys = AesState;

    static void Encrypt(const AesState& state, Register& reg)
    {
        auto c0 = static_cast<std::uint32_t>(reg[0]);
        auto c1 = static_cast<std::uint32_t>(reg[0] >> 32);
        auto c2 = static_cast<std::uint32_t>(reg[1]);
        auto c3 = static_cast<std::uint32_t>(reg[1] >> 32);
        EncryptColumns(state.roundKeys, c0, c1, c2, c3);
        reg[0] = c0 | static_cast<std::uint64_t>(c1) << 32;
        reg[1] = c2 | static_cast<std::uint64_t>(c3) << 32;
    }
};

} // namespace

void BuildAesTables()
{
    std::lock_guard<std::mutex> lock(g_tablesMutex);
    if (g_tablesBuilt.load(std::memory_order_relaxed) != 0)
        return;
    FillTables();
    g_tablesBuilt.store(1, std::memory_order_release);
}

void AesExpandKey(AesState* state, const std::uint8_t* key, std::uint32_t keyBits)
{
    if (g_tablesBuilt.load(std::memory_order_acquire) == 0)
        BuildAesTables();

    state->nk = (keyBits + 31) / 32;
    // Eight groups of eight words: w[0..63], four words past the round keys.
    std::uint32_t w[64];
    for (int i = 0; i < 8; ++i)
        w[i] = Load32Le(key + 4 * i);
    for (int i = 8; i < 64; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % 8 == 0)
            temp = SubWord(std::rotr(temp, 8)) ^ g_roundConstants[i / 8 - 1]; // RotWord
        else if (i % 8 == 4)
            temp = SubWord(temp);
        w[i] = w[i - 8] ^ temp;
    }
    std::memcpy(state->roundKeys, w, sizeof state->roundKeys);
    for (int i = 0; i < 4; ++i)
        Store32Le(state->feedback + 4 * i, w[AesRoundKeyWords + i]);
    SecureWipe(w, sizeof w);
}

void AesEncryptBlock(const AesState* state, std::uint8_t* block)
{
    std::uint32_t c0 = Load32Le(block);
    std::uint32_t c1 = Load32Le(block + 4);
    std::uint32_t c2 = Load32Le(block + 8);
    std::uint32_t c3 = Load32Le(block + 12);
    EncryptColumns(state->roundKeys, c0, c1, c2, c3);
    Store32Le(block, c0);
    Store32Le(block + 4, c1);
    Store32Le(block + 8, c2);
    Store32Le(block + 12, c3);
}

void AesKeySetup(AesState* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv)
{
    std::memcpy(state->feedback, iv, AesBlockLength);
    AesExpandKey(state, key, static_cast<std::uint32_t>(8 * keyLength));
    state->useAesNi = !g_forceTablePath.load() && ProcessorHasAesNi() ? 1 : 0;
}

void AesProcess(AesState* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction)
{
#if defined(__x86_64__) || defined(__i386__)
    if (state->useAesNi != 0) {
        AesNiProcess(state, buffer, length, direction);
        return;
    }
#endif
    FeedbackProcess<AesTableCipher>(*state, state->feedback, buffer, length, direction);
}

void AesForceTablePath(bool force)
{
    g_forceTablePath.store(force);
}
