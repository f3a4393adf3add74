// Compiled with -maes, so nothing here may be reached on a processor without
// AES-NI; the key setup checks before it chooses this path. The compiler
// emits AES instructions only for the intrinsics, never on its own.

#include "crypto/aes_ni.h"

#include "crypto/feedback_mode.h"
#include "platform/secure_memory.h"

#include <immintrin.h>

namespace {

struct AesNiKeys {
    __m128i roundKeys[15];
};

struct AesNiCipher {
    using Keys = AesNiKeys;
    using Register = __m128i;

    static Register Load(const std::uint8_t* bytes)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    }
    static void Store(const Register& reg, std::uint8_t* bytes)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), reg);
    }
    static void Encrypt(const AesNiKeys& keys, Register& reg)
    {
        Register x = _mm_xor_si128(reg, keys.roundKeys[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round)
            x = _mm_aesenc_si128(x, keys.roundKeys[round]);
        reg = _mm_aesenclast_si128(x, keys.roundKeys[14]);
    }
    static Register FromByte(std::uint8_t byte) { return _mm_cvtsi32_si128(byte); }
    static Register Xor(const Register& a, const Register& b) { return _mm_xor_si128(a, b); }
    static std::uint8_t FirstByte(const Register& reg)
    {
        return static_cast<std::uint8_t>(_mm_cvtsi128_si32(reg));
    }
    // Stays in the vector unit: no round trip through a general register.
    static Register ShiftIn(const Register& reg, const Register& tail)
    {
        return _mm_or_si128(_mm_srli_si128(reg, 1), _mm_slli_si128(tail, 15));
    }
};

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
    FeedbackProcess<AesNiCipher>(keys, state->feedback, buffer, length, direction);
    SecureWipe(&keys, sizeof keys);
}
