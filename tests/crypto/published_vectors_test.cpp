// Published vectors of the standard parts: the AES-256 block function and
// key schedule, CAST-256, and RC4 where the IV fold is neutral.

#include "crypto/aes.h"
#include "crypto/cast256.h"
#include "crypto/cipher.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Aes256, Fips197AppendixC3)
{
    const auto key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    auto block = FromHex("00112233445566778899aabbccddeeff");
    AesState state{};
    AesExpandKey(&state, key.data(), 256);
    AesEncryptBlock(&state, block.data());
    EXPECT_EQ(ToHex(block), "8ea2b7ca516745bfeafc49904b496089");
    EXPECT_EQ(state.nk, 8U);
}

// The key expansion runs one group past w[59]; w[60..63] replace the IV.
TEST(Aes256, RegisterStartsAsKeyWords60To63WhateverTheIv)
{
    const auto key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    for (const char* ivHex : {"00000000000000000000000000000000", "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf"}) {
        SCOPED_TRACE(ivHex);
        const auto iv = FromHex(ivHex);
        AesState state{};
        AesKeySetup(&state, key.data(), key.size(), iv.data());
        EXPECT_EQ(ToHex(state.feedback), "721f7b9cdbed347ca5ba1fd66842d23c");
    }
}

TEST(Cast256, Rfc2612AppendixB)
{
    struct Case {
        const char* key;
        const char* ciphertext;
    };
    const Case cases[] = {
        {"2342bb9efa38542c0af75647f29f615d", "c842a08972b43d20836c91d1b7530f6b"},
        {"2342bb9efa38542cbed0ac83940ac298bac77a7717942863", "1b386c0210dcadcbdd0e41aa08a7a7e8"},
        {"2342bb9efa38542cbed0ac83940ac2988d7c47ce264908461cc1b5137ae6b604",
         "4f6a2038286897b9c9870136553317fa"},
    };
    const std::vector<std::uint8_t> iv(Cast256BlockLength);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const auto key = FromHex(c.key);
        Cast256State state{};
        Cast256KeySetup(&state, key.data(), key.size(), iv.data());
        std::vector<std::uint8_t> block(Cast256BlockLength);
        Cast256EncryptBlock(&state, block.data());
        EXPECT_EQ(ToHex(block), c.ciphertext);
    }
}

// An all-zero IV leaves the expanded key as it is, so one call gives the
// published RC4 keystream.
TEST(Rc4, ZeroIvAndOneCallGivePublishedRc4)
{
    struct Case {
        const char* key;
        const char* plaintext;
        const char* ciphertext;
    };
    const Case cases[] = {
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
    };
    const std::uint8_t iv[CipherIvFieldLength] = {};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const auto key = Bytes(c.key);
        auto data = Bytes(c.plaintext);
        CipherContext context;
        ASSERT_EQ(CipherInit(&context, CipherRc4, static_cast<std::uint32_t>(key.size()), iv, key.data()), 1);
        CipherProcess(&context, data.data(), data.size());
        CipherRelease(&context);
        EXPECT_EQ(ToHex(data), c.ciphertext);
    }
}

} // namespace
