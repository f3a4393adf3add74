#include "crypto/sha256.h"

#include "crypto/byte_order.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t InitialChain[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

void Compress(std::uint32_t* chain, const std::uint8_t* block)
{
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t)
        w[t] = Load32Be(block + 4 * t);
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = std::rotr(w[t - 15], 7) ^ std::rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = std::rotr(w[t - 2], 17) ^ std::rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }

    std::uint32_t a = chain[0], b = chain[1], c = chain[2], d = chain[3];
    std::uint32_t e = chain[4], f = chain[5], g = chain[6], h = chain[7];
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t sum1 = std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25);
        const std::uint32_t choose = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + sum1 + choose + RoundConstants[t] + w[t];
        const std::uint32_t sum0 = std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = sum0 + majority;
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
}

std::uint64_t BitLength(const Sha256State* state)
{
    return static_cast<std::uint64_t>(state->bitLength[1]) << 32 | state->bitLength[0];
}

void SetBitLength(Sha256State* state, std::uint64_t bits)
{
    state->bitLength[0] = static_cast<std::uint32_t>(bits);
    state->bitLength[1] = static_cast<std::uint32_t>(bits >> 32);
}

} // namespace

void Sha256Init(Sha256State* state)
{
    std::memcpy(state->chain, InitialChain, sizeof InitialChain);
    SetBitLength(state, 0);
    std::memset(state->block, 0, sizeof state->block);
}

void Sha256Update(Sha256State* state, const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    const std::uint64_t bits = BitLength(state);
    std::size_t buffered = static_cast<std::size_t>(bits >> 3) % Sha256BlockLength;
    SetBitLength(state, bits + (static_cast<std::uint64_t>(length) << 3));

    if (buffered != 0) {
        const std::size_t take = std::min(length, Sha256BlockLength - buffered);
        std::memcpy(state->block + buffered, data, take);
        data += take;
        length -= take;
        buffered += take;
        if (buffered < Sha256BlockLength)
            return;
        Compress(state->chain, state->block);
    }
    for (; length >= Sha256BlockLength; data += Sha256BlockLength, length -= Sha256BlockLength)
        Compress(state->chain, data);
    if (length != 0)
        std::memcpy(state->block, data, length);
}

void Sha256Final(Sha256State* state, std::uint8_t* digest)
{
    const std::uint64_t bits = BitLength(state);
    std::size_t buffered = static_cast<std::size_t>(bits >> 3) % Sha256BlockLength;

    state->block[buffered++] = 0x80;
    if (buffered > Sha256BlockLength - 8) {
        std::memset(state->block + buffered, 0, Sha256BlockLength - buffered);
        Compress(state->chain, state->block);
        buffered = 0;
    }
    std::memset(state->block + buffered, 0, Sha256BlockLength - 8 - buffered);
    Store64Be(state->block + Sha256BlockLength - 8, bits);
    Compress(state->chain, state->block);

    for (int i = 0; i < 8; ++i)
        Store32Be(digest + 4 * i, state->chain[i]);
}
