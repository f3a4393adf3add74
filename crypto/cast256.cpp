#include "crypto/cast256.h"

#include "crypto/byte_order.h"
#include "crypto/cast256_sboxes.h"
#include "crypto/feedback_mode.h"
#include "platform/secure_memory.h"

#include <bit>
#include <cstring>

namespace {

constexpr const std::uint32_t* S1 = Cast256Sboxes[0];
constexpr const std::uint32_t* S2 = Cast256Sboxes[1];
constexpr const std::uint32_t* S3 = Cast256Sboxes[2];
constexpr const std::uint32_t* S4 = Cast256Sboxes[3];

inline std::uint32_t F1(std::uint32_t data, std::uint32_t rotation, std::uint32_t mask)
{
    const std::uint32_t i = std::rotl(mask + data, static_cast<int>(rotation & 31));
    return ((S1[i >> 24] ^ S2[i >> 16 & 0xFF]) - S3[i >> 8 & 0xFF]) + S4[i & 0xFF];
}

inline std::uint32_t F2(std::uint32_t data, std::uint32_t rotation, std::uint32_t mask)
{
    const std::uint32_t i = std::rotl(mask ^ data, static_cast<int>(rotation & 31));
    return ((S1[i >> 24] - S2[i >> 16 & 0xFF]) + S3[i >> 8 & 0xFF]) ^ S4[i & 0xFF];
}

inline std::uint32_t F3(std::uint32_t data, std::uint32_t rotation, std::uint32_t mask)
{
    const std::uint32_t i = std::rotl(mask - data, static_cast<int>(rotation & 31));
    return ((S1[i >> 24] + S2[i >> 16 & 0xFF]) ^ S3[i >> 8 & 0xFF]) - S4[i & 0xFF];
}

// The key schedule's masking and rotation constants, 24 rows of eight.
struct ScheduleConstants {
    std::uint32_t mask[24][8];
    std::uint32_t rotation[24][8];
};

constexpr ScheduleConstants MakeScheduleConstants()
{
    ScheduleConstants constants{};
    std::uint32_t mask = 0x5A827999;
    std::uint32_t rotation = 19;
    for (int row = 0; row < 24; ++row) {
        for (int step = 0; step < 8; ++step) {
            constants.mask[row][step] = mask;
            constants.rotation[row][step] = rotation;
            mask += 0x6ED9EBA1;
            rotation = (rotation + 17) % 32;
        }
    }
    return constants;
}

constexpr ScheduleConstants Schedule = MakeScheduleConstants();

// The forward octave W of the key schedule on the key words K0..K7.
void Octave(std::uint32_t* k, int row)
{
    const std::uint32_t* m = Schedule.mask[row];
    const std::uint32_t* r = Schedule.rotation[row];
    k[6] ^= F1(k[7], r[0], m[0]);
    k[5] ^= F2(k[6], r[1], m[1]);
    k[4] ^= F3(k[5], r[2], m[2]);
    k[3] ^= F1(k[4], r[3], m[3]);
    k[2] ^= F2(k[3], r[4], m[4]);
    k[1] ^= F3(k[2], r[5], m[5]);
    k[0] ^= F1(k[1], r[6], m[6]);
    k[7] ^= F2(k[0], r[7], m[7]);
}

[[gnu::always_inline]] inline void EncryptWords(const Cast256State& state, std::uint32_t& a, std::uint32_t& b,
                         std::uint32_t& c, std::uint32_t& d)
{
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) {
        const std::uint32_t* kr = state.subkeys[i];
        const std::uint32_t* km = state.subkeys[i] + 4;
        c ^= F1(d, kr[0], km[0]);
        b ^= F2(c, kr[1], km[1]);
        a ^= F3(b, kr[2], km[2]);
        d ^= F1(a, kr[3], km[3]);
    }
#pragma GCC unroll 6
    for (int i = 6; i < 12; ++i) {
        const std::uint32_t* kr = state.subkeys[i];
        const std::uint32_t* km = state.subkeys[i] + 4;
        d ^= F1(a, kr[3], km[3]);
        a ^= F3(b, kr[2], km[2]);
        b ^= F2(c, kr[1], km[1]);
        c ^= F1(d, kr[0], km[0]);
    }
}

struct Cast256Cipher : LaneRegisterOps<2> {
    using Keys = Cast256State;

    // Lane bytes are in block order, so each big-endian word is one swap away.
    static void Encrypt(const Cast256State& state, Register& reg)
    {
        std::uint32_t a = __builtin_bswap32(static_cast<std::uint32_t>(reg[0]));
        std::uint32_t b = __builtin_bswap32(static_cast<std::uint32_t>(reg[0] >> 32));
        std::uint32_t c = __builtin_bswap32(static_cast<std::uint32_t>(reg[1]));
        std::uint32_t d = __builtin_bswap32(static_cast<std::uint32_t>(reg[1] >> 32));
        EncryptWords(state, a, b, c, d);
        reg[0] = __builtin_bswap32(a) | static_cast<std::uint64_t>(__builtin_bswap32(b)) << 32;
        reg[1] = __builtin_bswap32(c) | static_cast<std::uint64_t>(__builtin_bswap32(d)) << 32;
    }
};

} // namespace

void Cast256KeySetup(Cast256State* state, const std::uint8_t* key, std::size_t keyLength,
                     const std::uint8_t* iv)
{
    std::memcpy(state->feedback, iv, Cast256BlockLength);

    std::uint8_t padded[Cast256KeyLength] = {};
    std::memcpy(padded, key, keyLength < Cast256KeyLength ? keyLength : Cast256KeyLength);
    std::uint32_t k[8];
    for (int i = 0; i < 8; ++i)
        k[i] = Load32Be(padded + 4 * i);

    for (int i = 0; i < 12; ++i) {
        Octave(k, 2 * i);
        Octave(k, 2 * i + 1);
        std::uint32_t* subkeys = state->subkeys[i];
        subkeys[0] = k[0] & 31;
        subkeys[1] = k[2] & 31;
        subkeys[2] = k[4] & 31;
        subkeys[3] = k[6] & 31;
        subkeys[4] = k[7];
        subkeys[5] = k[5];
        subkeys[6] = k[3];
        subkeys[7] = k[1];
    }
    SecureWipe(padded, sizeof padded);
    SecureWipe(k, sizeof k);
}

void Cast256EncryptBlock(const Cast256State* state, std::uint8_t* block)
{
    std::uint32_t a = Load32Be(block);
    std::uint32_t b = Load32Be(block + 4);
    std::uint32_t c = Load32Be(block + 8);
    std::uint32_t d = Load32Be(block + 12);
    EncryptWords(*state, a, b, c, d);
    Store32Be(block, a);
    Store32Be(block + 4, b);
    Store32Be(block + 8, c);
    Store32Be(block + 12, d);
}

void Cast256Process(Cast256State* state, std::uint8_t* buffer, std::size_t length,
                    CipherDirection direction)
{
    FeedbackProcess<Cast256Cipher>(*state, state->feedback, buffer, length, direction);
}
