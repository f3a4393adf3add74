// Compiled with -maes -mssse3, so nothing here may be reached on a processor
// without both; the key setup checks before it chooses this path. The
// compiler emits AES instructions only for the intrinsics, never on its own.
//
// The feedback mode is serial: each byte waits for the block encryption of
// the one before. So the loops below are the mode of feedback_mode.h
// rewritten to put nothing but the fourteen rounds and one byte rotation on
// that chain: the register is carried already XORed with round key 0, and
// the shift, the byte that enters and round key 0 of the next block are
// folded into the key of the last round, which is computed off the chain.
// Same output as the generic mode (the table path runs it).

#include "crypto/aes_ni.h"

#include "platform/secure_memory.h"

#include <immintrin.h>

namespace {

struct AesNiKeys {
    __m128i roundKeys[15];
};

// Thirteen full rounds from round 1: the input already holds round key 0.
inline __m128i MiddleRounds(const AesNiKeys& keys, __m128i x)
{
#pragma GCC unroll 13
    for (int round = 1; round < 14; ++round)
        x = _mm_aesenc_si128(x, keys.roundKeys[round]);
    return x;
}

// Register R, block E = AES(R), input byte p, output c = E[0] ^ p, and the
// next register R' = E moved one byte towards its start with c last, which
// is E rotated by one byte with p XORed into the last byte. Carrying
// x = R ^ K0: x' = rotate(E ^ unrotate(K0) ^ p), and E ^ unrotate(K0) ^ p is
// what the last round gives with unrotate(K0) ^ p XORed into its key.
void EncryptRun(const AesNiKeys& keys, std::uint8_t lastByteOfK0, __m128i& x, std::uint8_t* buffer,
                std::size_t length)
{
    const __m128i k0 = keys.roundKeys[0];
    const __m128i lastKey = _mm_xor_si128(keys.roundKeys[14], _mm_alignr_epi8(k0, k0, 15));
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t plain = buffer[i];
        const __m128i e = _mm_aesenclast_si128(MiddleRounds(keys, x),
                                               _mm_xor_si128(lastKey, _mm_cvtsi32_si128(plain)));
        buffer[i] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(e)) ^ lastByteOfK0;
        x = _mm_alignr_epi8(e, e, 1);
    }
}

// Here the byte that enters is the input byte itself: R' = E shifted by one
// byte with c last, so x' = (E ^ K0 shifted up one byte) shifted down, with
// c ^ K0[15] last; the shifted K0 goes into the last round's key.
void DecryptRun(const AesNiKeys& keys, std::uint8_t lastByteOfK0, __m128i& x, std::uint8_t* buffer,
                std::size_t length)
{
    const __m128i lastKey = _mm_xor_si128(keys.roundKeys[14], _mm_slli_si128(keys.roundKeys[0], 1));
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t cipher = buffer[i];
        const __m128i e = _mm_aesenclast_si128(MiddleRounds(keys, x), lastKey);
        buffer[i] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(e)) ^ cipher;
        x = _mm_alignr_epi8(_mm_cvtsi32_si128(static_cast<std::uint8_t>(cipher ^ lastByteOfK0)), e, 1);
    }
}

} // namespace

void AesNiProcess(AesState* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction)
{
    if (length == 0)
        return;
    // The round-key words hold their bytes in memory order, which is the
    // byte order AES-NI takes its round keys in.
    AesNiKeys keys;
    for (int round = 0; round < 15; ++round)
        keys.roundKeys[round] =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(state->roundKeys + 4 * round));
    const std::uint8_t lastByteOfK0 = reinterpret_cast<const std::uint8_t*>(state->roundKeys)[15];

    __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state->feedback)),
                              keys.roundKeys[0]);
    if (direction == CipherDirection::Decrypt)
        DecryptRun(keys, lastByteOfK0, x, buffer, length);
    else
        EncryptRun(keys, lastByteOfK0, x, buffer, length);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state->feedback), _mm_xor_si128(x, keys.roundKeys[0]));
    SecureWipe(&keys, sizeof keys);
    SecureWipe(&x, sizeof x);
}
