#include "crypto/sha512.h"

#include "crypto/byte_order.h"
#include "platform/secure_memory.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t RoundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

constexpr std::uint64_t InitialChain[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};

void Compress(std::uint64_t* chain, const std::uint8_t* block)
{
    std::uint64_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = Load64Be(block + 8 * t);
    for (int t = 16; t < 80; ++t) {
        const std::uint64_t s0 = std::rotr(w[t - 15], 1) ^ std::rotr(w[t - 15], 8) ^ (w[t - 15] >> 7);
        const std::uint64_t s1 = std::rotr(w[t - 2], 19) ^ std::rotr(w[t - 2], 61) ^ (w[t - 2] >> 6);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }

    std::uint64_t a = chain[0], b = chain[1], c = chain[2], d = chain[3];
    std::uint64_t e = chain[4], f = chain[5], g = chain[6], h = chain[7];
    for (int t = 0; t < 80; ++t) {
        const std::uint64_t sum1 = std::rotr(e, 14) ^ std::rotr(e, 18) ^ std::rotr(e, 41);
        const std::uint64_t choose = (e & f) ^ (~e & g);
        const std::uint64_t t1 = h + sum1 + choose + RoundConstants[t] + w[t];
        const std::uint64_t sum0 = std::rotr(a, 28) ^ std::rotr(a, 34) ^ std::rotr(a, 39);
        const std::uint64_t majority = (a & b) ^ (a & c) ^ (b & c);
        const std::uint64_t t2 = sum0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    chain[0] += a;
    chain[1] += b;
    chain[2] += c;
    chain[3] += d;
    chain[4] += e;
    chain[5] += f;
    chain[6] += g;
    chain[7] += h;
    // The schedule is a function of secret input (keys, the random pool).
    SecureWipe(w, sizeof w);
}

std::size_t Buffered(const Sha512State* state)
{
    return (state->bitLength[0] >> 3) % Sha512BlockLength;
}

// Adds `length` bytes to the 128-bit bit count.
void CountBytes(Sha512State* state, std::size_t length)
{
    const auto bytes = static_cast<std::uint64_t>(length);
    std::uint64_t add[2] = {bytes << 3, bytes >> 61};
    std::uint64_t carry = 0;
    for (int half = 0; half < 2; ++half) {
        const std::uint64_t old = static_cast<std::uint64_t>(state->bitLength[2 * half + 1]) << 32 |
                                  state->bitLength[2 * half];
        const std::uint64_t sum = old + add[half] + carry;
        carry = (sum < old || (carry != 0 && sum == old)) ? 1 : 0;
        state->bitLength[2 * half] = static_cast<std::uint32_t>(sum);
        state->bitLength[2 * half + 1] = static_cast<std::uint32_t>(sum >> 32);
    }
}

} // namespace

void Sha512Init(Sha512State* state)
{
    std::memcpy(state->chain, InitialChain, sizeof InitialChain);
    std::memset(state->bitLength, 0, sizeof state->bitLength);
    std::memset(state->block, 0, sizeof state->block);
}

void Sha512Update(Sha512State* state, const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    std::size_t buffered = Buffered(state);
    CountBytes(state, length);

    if (buffered != 0) {
        const std::size_t take = std::min(length, Sha512BlockLength - buffered);
        std::memcpy(state->block + buffered, data, take);
        data += take;
        length -= take;
        buffered += take;
        if (buffered < Sha512BlockLength)
            return;
        Compress(state->chain, state->block);
    }
    for (; length >= Sha512BlockLength; data += Sha512BlockLength, length -= Sha512BlockLength)
        Compress(state->chain, data);
    if (length != 0)
        std::memcpy(state->block, data, length);
}

void Sha512Final(Sha512State* state, std::uint8_t* digest)
{
    std::size_t buffered = Buffered(state);

    state->block[buffered++] = 0x80;
    if (buffered > Sha512BlockLength - 16) {
        std::memset(state->block + buffered, 0, Sha512BlockLength - buffered);
        Compress(state->chain, state->block);
        buffered = 0;
    }
    std::memset(state->block + buffered, 0, Sha512BlockLength - 16 - buffered);
    for (int i = 0; i < 4; ++i)
        Store32Be(state->block + Sha512BlockLength - 4 - 4 * i, state->bitLength[i]);
    Compress(state->chain, state->block);

    for (int i = 0; i < 8; ++i)
        Store64Be(digest + 8 * i, state->chain[i]);
}
