#include "crypto/rc5.h"

#include "crypto/byte_order.h"
#include "crypto/feedback_mode.h"
#include "platform/secure_memory.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t P64 = 0xB7E151628AED2A6B;
constexpr std::uint64_t Q64 = 0x9E3779B97F4A7C15;

[[gnu::always_inline]] inline void EncryptWords(const Rc5State& state, std::uint64_t& a, std::uint64_t& b)
{
    const std::uint64_t* s = state.s;
    std::uint64_t x = a + s[0];
    std::uint64_t y = b + s[1];
#pragma GCC unroll 18
    for (int k = 1; k <= Rc5Rounds; ++k) {
        x = std::rotl(x ^ y, static_cast<int>(y & 63)) + s[2 * k];
        y = std::rotl(y ^ x, static_cast<int>(x & 63)) + s[2 * k + 1];
    }
    a = x;
    b = y;
}

struct Rc5Cipher : LaneRegisterOps<2> {
    using Keys = Rc5State;

    static void Encrypt(const Rc5State& state, Register& reg) { EncryptWords(state, reg[0], reg[1]); }
};

} // namespace

void Rc5KeySetup(Rc5State* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv)
{
    std::uint64_t* l = state->l;
    std::fill(l, l + Rc5KeyLength / 8, 0);
    const std::size_t keyWords = keyLength / 8;
    for (std::size_t word = 0; word < keyWords; ++word)
        l[word] = Load64Le(key + 8 * word);
    // The bytes of an unfinished last word land in L as well but are never read.
    if (keyLength % 8 != 0) {
        std::uint8_t tail[8] = {};
        std::memcpy(tail, key + 8 * keyWords, keyLength % 8);
        l[keyWords] = Load64Le(tail);
        SecureWipe(tail, sizeof tail);
    }

    std::uint64_t* s = state->s;
    s[0] = P64;
    for (std::size_t i = 1; i < Rc5TableWords; ++i)
        s[i] = s[i - 1] + Q64;

    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    const std::size_t mixes = 3 * std::max(Rc5TableWords, keyWords);
    for (std::size_t n = 0; n < mixes; ++n) {
        a = s[i] = std::rotl(s[i] + a + b, 3);
        b = l[j] = std::rotl(l[j] + a + b, static_cast<int>((a + b) & 63));
        i = (i + 1) % Rc5TableWords;
        j = (j + 1) % keyWords;
    }

    std::memcpy(state->feedback, iv, Rc5BlockLength);
}

void Rc5EncryptBlock(const Rc5State* state, std::uint64_t* a, std::uint64_t* b)
{
    EncryptWords(*state, *a, *b);
}

void Rc5Process(Rc5State* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction)
{
    FeedbackProcess<Rc5Cipher>(*state, state->feedback, buffer, length, direction);
}
