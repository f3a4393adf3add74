// Properties of the suite that hold for every key: how the stream may be
// cut, both directions, what the IV reaches, what is refused, and what a
// released state leaves behind.

#include "crypto/cipher.h"
#include "freed_blocks.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::uint32_t AllIds[] = {CipherAes256, CipherCast256, CipherBlowfish, CipherRc4, CipherRc5};

// A keyed context that is released on every path out of a test.
class KeyedCipher {
public:
    KeyedCipher(std::uint32_t id, CipherDirection direction, const std::vector<std::uint8_t>& iv,
                std::uint8_t keySeed = 7)
    {
        const auto key = PatternBytes(CipherKeyLength(id), keySeed);
        ok_ = CipherInit(&context_, id, CipherKeyLength(id), iv.data(), key.data(), direction) == 1;
    }
    KeyedCipher(std::uint32_t id, CipherDirection direction = CipherDirection::Encrypt)
        : KeyedCipher(id, direction, PatternBytes(CipherIvFieldLength, 99))
    {
    }
    ~KeyedCipher() { CipherRelease(&context_); }
    KeyedCipher(const KeyedCipher&) = delete;
    KeyedCipher& operator=(const KeyedCipher&) = delete;

    bool Ok() const { return ok_; }
    CipherContext* Get() { return &context_; }

    // Processes `data` in consecutive calls of the given lengths.
    std::vector<std::uint8_t> Process(std::vector<std::uint8_t> data,
                                      const std::vector<std::size_t>& pieces)
    {
        std::size_t offset = 0;
        for (std::size_t piece : pieces) {
            CipherProcess(&context_, data.data() + offset, piece);
            offset += piece;
        }
        return data;
    }

private:
    CipherContext context_;
    bool ok_ = false;
};

std::vector<std::uint8_t> Encrypt(std::uint32_t id, const std::vector<std::uint8_t>& data,
                                  const std::vector<std::size_t>& pieces)
{
    KeyedCipher cipher(id);
    EXPECT_TRUE(cipher.Ok());
    return cipher.Process(data, pieces);
}

// Feedback ciphers carry the register from call to call; RC4 restarts its
// counters each call, so every real cut changes its output, while an empty
// call changes nothing for any id.
TEST(CipherSuite, SplitAtEveryPointAgainstOneCall)
{
    const auto plaintext = PatternBytes(48);
    for (std::uint32_t id : AllIds) {
        SCOPED_TRACE("cipher " + std::to_string(id));
        const std::string whole = ToHex(Encrypt(id, plaintext, {plaintext.size()}));
        for (std::size_t cut = 0; cut <= plaintext.size(); ++cut) {
            const std::string split = ToHex(Encrypt(id, plaintext, {cut, plaintext.size() - cut}));
            const bool realCut = cut != 0 && cut != plaintext.size();
            if (id == CipherRc4 && realCut)
                EXPECT_NE(split, whole) << "cut at " << cut;
            else
                EXPECT_EQ(split, whole) << "cut at " << cut;
        }
    }
}

TEST(CipherSuite, RoundTripsInBothDirections)
{
    const auto original = PatternBytes(241, 3);
    const std::vector<std::size_t> pieces = {7, 0, 1, 33, 200};
    for (std::uint32_t id : AllIds) {
        for (CipherDirection first : {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            const CipherDirection second = first == CipherDirection::Encrypt ? CipherDirection::Decrypt
                                                                             : CipherDirection::Encrypt;
            SCOPED_TRACE("cipher " + std::to_string(id) +
                         (first == CipherDirection::Encrypt ? ", encrypt first" : ", decrypt first"));
            KeyedCipher forward(id, first);
            KeyedCipher backward(id, second);
            ASSERT_TRUE(forward.Ok() && backward.Ok());
            const auto transformed = forward.Process(original, pieces);
            EXPECT_NE(ToHex(transformed), ToHex(original));
            EXPECT_EQ(ToHex(backward.Process(transformed, pieces)), ToHex(original));
        }
    }
}

// Which bytes of the 16-byte IV field reach the stream: none for AES-256
// (its register comes from the key schedule), the first 8 for Blowfish, all
// 16 for the others.
TEST(CipherSuite, IvFieldBytesThatReachTheStream)
{
    struct Case {
        std::uint32_t id;
        std::size_t changedByte;
        bool sameStream;
    };
    const Case cases[] = {
        {CipherAes256, 0, true},    {CipherAes256, 15, true},   {CipherCast256, 15, false},
        {CipherBlowfish, 7, false}, {CipherBlowfish, 8, true},  {CipherBlowfish, 15, true},
        {CipherRc4, 15, false},     {CipherRc5, 15, false},
    };
    const auto plaintext = PatternBytes(40);
    const auto iv = PatternBytes(CipherIvFieldLength, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE("cipher " + std::to_string(c.id) + ", IV byte " + std::to_string(c.changedByte));
        auto otherIv = iv;
        otherIv[c.changedByte] ^= 0x80;
        KeyedCipher first(c.id, CipherDirection::Encrypt, iv);
        KeyedCipher second(c.id, CipherDirection::Encrypt, otherIv);
        const std::string a = ToHex(first.Process(plaintext, {plaintext.size()}));
        const std::string b = ToHex(second.Process(plaintext, {plaintext.size()}));
        if (c.sameStream)
            EXPECT_EQ(a, b);
        else
            EXPECT_NE(a, b);
    }
}

TEST(CipherSuite, LengthsPerId)
{
    const std::uint32_t keyLengths[] = {32, 32, 56, 64, 64, 0};
    const std::uint32_t ivLengths[] = {16, 16, 8, 16, 16, 0};
    for (std::uint32_t id = 0; id <= CipherCount; ++id) {
        EXPECT_EQ(CipherKeyLength(id), keyLengths[id]) << "cipher " << id;
        EXPECT_EQ(CipherIvLength(id), ivLengths[id]) << "cipher " << id;
    }
}

// An unknown id, or a key length the cipher's key setup cannot take without
// reading or writing past its state, keys nothing.
TEST(CipherSuite, RefusedInitKeysNothing)
{
    struct Case {
        std::uint32_t id;
        std::uint32_t keyLength;
    };
    const Case cases[] = {
        {CipherCount, 32}, {0xFFFFFFFF, 32}, {CipherAes256, 31}, {CipherAes256, 33},
        {CipherCast256, 0}, {CipherCast256, 33}, {CipherBlowfish, 3}, {CipherBlowfish, 57},
        {CipherRc4, 0}, {CipherRc4, 257}, {CipherRc5, 7}, {CipherRc5, 257},
    };
    const std::vector<std::uint8_t> key(300, 1);
    const std::vector<std::uint8_t> iv(CipherIvFieldLength, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE("cipher " + std::to_string(c.id) + ", key length " + std::to_string(c.keyLength));
        CipherContext context;
        EXPECT_EQ(CipherInit(&context, c.id, c.keyLength, iv.data(), key.data()), 0);
        EXPECT_EQ(context.state, nullptr);
        std::uint8_t byte = 0x55;
        CipherProcess(&context, &byte, 1);
        EXPECT_EQ(byte, 0x55);
    }
}

// RC5 takes whole 64-bit key words only, so the bytes after the last one
// have no influence.
TEST(CipherSuite, Rc5UsesWholeKeyWordsOnly)
{
    const auto key = PatternBytes(64, 11);
    const auto iv = PatternBytes(CipherIvFieldLength, 12);
    const auto plaintext = PatternBytes(32);
    std::string streams[2];
    const std::uint32_t lengths[] = {56, 63};
    for (int i = 0; i < 2; ++i) {
        CipherContext context;
        ASSERT_EQ(CipherInit(&context, CipherRc5, lengths[i], iv.data(), key.data()), 1);
        auto data = plaintext;
        CipherProcess(&context, data.data(), data.size());
        CipherRelease(&context);
        streams[i] = ToHex(data);
    }
    EXPECT_EQ(streams[0], streams[1]);
}

TEST(CipherSuite, ReleasedStateIsZeroBeforeItIsFreed)
{
    for (std::uint32_t id : AllIds) {
        SCOPED_TRACE("cipher " + std::to_string(id));
        CipherContext context;
        const auto key = PatternBytes(CipherKeyLength(id));
        const auto iv = PatternBytes(CipherIvFieldLength, 2);
        ASSERT_EQ(CipherInit(&context, id, CipherKeyLength(id), iv.data(), key.data()), 1);
        auto data = PatternBytes(100);
        CipherProcess(&context, data.data(), data.size());
        {
            FreedBlockRecorder recorder;
            CipherRelease(&context);
        }
        EXPECT_EQ(context.state, nullptr);
        const auto& freed = FreedBlockRecorder::Blocks();
        ASSERT_EQ(freed.size(), 1U);
        EXPECT_EQ(NonZeroBytes(freed[0]), 0U);
        CipherRelease(&context); // an unkeyed context is accepted
    }
}

} // namespace
