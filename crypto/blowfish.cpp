#include "crypto/blowfish.h"

#include "crypto/blowfish_pi.h"
#include "crypto/byte_order.h"
#include "crypto/feedback_mode.h"

#include <cstring>

namespace {

inline std::uint32_t RoundFunction(const std::uint32_t* s0, std::uint32_t x)
{
    return ((s0[x >> 24] + s0[x >> 16 & 0xFF]) ^ s0[x >> 8 & 0xFF]) + s0[x & 0xFF];
}

[[gnu::always_inline]] inline void EncryptHalves(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right)
{
    const std::uint32_t* s0 = state.s[0];
    std::uint32_t l = left;
    std::uint32_t r = right;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        l ^= state.p[2 * k];
        r ^= RoundFunction(s0, l);
        r ^= state.p[2 * k + 1];
        l ^= RoundFunction(s0, r);
    }
    left = l ^ state.p[17];
    right = r ^ state.p[16];
}

struct BlowfishCipher : LaneRegisterOps<1> {
    using Keys = BlowfishState;

    static void Encrypt(const BlowfishState& state, Register& reg)
    {
        auto left = static_cast<std::uint32_t>(reg[0]);
        auto right = static_cast<std::uint32_t>(reg[0] >> 32);
        EncryptHalves(state, left, right);
        reg[0] = left | static_cast<std::uint64_t>(right) << 32;
    }
};

} // namespace

void BlowfishKeySetup(BlowfishState* state, const std::uint8_t* key, std::size_t keyLength,
                      const std::uint8_t* iv)
{
    std::memcpy(state->p, BlowfishInitialP, sizeof state->p);
    std::memcpy(state->s, BlowfishInitialS, sizeof state->s);
    std::memcpy(state->feedback, iv, BlowfishBlockLength);

    const std::size_t keyWords = keyLength / 4;
    for (std::size_t i = 0; i < 18; ++i)
        state->p[i] ^= Load32Le(key + 4 * (i % keyWords));

    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        EncryptHalves(*state, left, right);
        state->p[i] = left;
        state->p[i + 1] = right;
    }
    // S0 changes while it is being filled, and each encryption sees it as it stands.
    for (std::size_t word = 0; word < 4 * 256; word += 2) {
        EncryptHalves(*state, left, right);
        state->s[word / 256][word % 256] = left;
        state->s[word / 256][word % 256 + 1] = right;
    }
}

void BlowfishEncryptBlock(const BlowfishState* state, std::uint8_t* block)
{
    std::uint32_t left = Load32Le(block);
    std::uint32_t right = Load32Le(block + 4);
    EncryptHalves(*state, left, right);
    Store32Le(block, left);
    Store32Le(block + 4, right);
}

void BlowfishProcess(BlowfishState* state, std::uint8_t* buffer, std::size_t length,
                     CipherDirection direction)
{
    FeedbackProcess<BlowfishCipher>(*state, state->feedback, buffer, length, direction);
}
