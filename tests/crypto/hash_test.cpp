#include "crypto/crc32.h"
#include "crypto/hash.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "freed_blocks.h"
#include "hex.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

std::string Digest(std::uint32_t kind, const std::vector<std::uint8_t>& message)
{
    HashContext context;
    EXPECT_EQ(HashInit(&context, kind), 1);
    HashUpdate(&context, message.data(), message.size());
    std::vector<std::uint8_t> digest(HashDigestLength(kind));
    HashFinal(&context, digest.data());
    EXPECT_EQ(context.state, nullptr);
    return ToHex(digest);
}

TEST(Hash, PublishedDigests)
{
    struct Case {
        const char* name;
        std::uint32_t kind;
        const char* message;
        const char* digest;
    };
    const Case cases[] = {
        {"SHA-256 empty", HashSha256, "",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"SHA-256 one block", HashSha256, "abc",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"SHA-256 two blocks", HashSha256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"SHA-512 empty", HashSha512, "",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
         "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"SHA-512 one block", HashSha512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"SHA-512 two blocks", HashSha512,
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
         "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        // The CRC-32/ISO-HDLC check value 0xCBF43926, written little-endian.
        {"CRC-32 check value", HashCrc32, "123456789", "2639f4cb"},
        {"CRC-32 empty", HashCrc32, "", "00000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Digest(c.kind, Bytes(c.message)), c.digest);
    }
}

// Any cut of the message into updates, with empty updates between and cuts
// on block boundaries, gives the one-call digest.
TEST(Hash, SplitUpdatesGiveTheOneCallDigest)
{
    const auto message = PatternBytes(300);
    for (std::uint32_t kind : {HashCrc32, HashSha512, HashSha256}) {
        SCOPED_TRACE(kind);
        const std::string whole = Digest(kind, message);
        for (std::size_t cut = 0; cut <= message.size(); ++cut) {
            HashContext context;
            ASSERT_EQ(HashInit(&context, kind), 1);
            HashUpdate(&context, message.data(), cut);
            HashUpdate(&context, nullptr, 0);
            HashUpdate(&context, message.data() + cut, message.size() - cut);
            std::vector<std::uint8_t> digest(HashDigestLength(kind));
            HashFinal(&context, digest.data());
            ASSERT_EQ(ToHex(digest), whole) << "cut at " << cut;
        }
    }
}

// Eight bytes are folded at a time: every start alignment and every tail
// length around that width, and long runs, must give zlib's value.
TEST(Crc32, AgreesWithZlib)
{
    const auto data = PatternBytes(65537 + 8, 0x5A);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length : {0U, 1U, 3U, 7U, 8U, 9U, 15U, 16U, 17U, 31U, 1000U, 65537U}) {
            const std::uint32_t ours = ~Crc32Update(0xFFFFFFFFU, data.data() + offset, length);
            const auto theirs = static_cast<std::uint32_t>(
                crc32(0L, data.data() + offset, static_cast<uInt>(length)));
            EXPECT_EQ(ours, theirs) << "offset " << offset << ", length " << length;
        }
    }
}

TEST(Crc32, KnownAnswers)
{
    std::vector<std::uint8_t> counting(1 << 20);
    for (std::size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<std::uint8_t>(i);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
        std::uint32_t crc;
    } cases[] = {
        {"32 zero bytes", std::vector<std::uint8_t>(32, 0x00), 0x190A55ADU},
        {"32 bytes of 0xFF", std::vector<std::uint8_t>(32, 0xFF), 0xFF6CAB0BU},
        {"the fox", std::vector<std::uint8_t>(fox.begin(), fox.end()), 0x414FA339U},
        {"1 MiB counting bytes", counting, 0x04D0E435U},
    };
    for (const auto& c : cases)
        EXPECT_EQ(~Crc32Update(0xFFFFFFFFU, c.data.data(), c.data.size()), c.crc) << c.name;
}

TEST(Hash, UnknownKindIsRefused)
{
    HashContext context;
    EXPECT_EQ(HashInit(&context, 3), 0);
    EXPECT_EQ(context.state, nullptr);
    EXPECT_EQ(HashDigestLength(3), 0U);
}

TEST(Hash, FinishedShaStateIsZeroBeforeItIsFreed)
{
    const auto message = PatternBytes(200);
    for (std::uint32_t kind : {HashSha512, HashSha256}) {
        SCOPED_TRACE(kind);
        HashContext context;
        ASSERT_EQ(HashInit(&context, kind), 1);
        HashUpdate(&context, message.data(), message.size());
        std::vector<std::uint8_t> digest(HashDigestLength(kind));

        {
            FreedBlockRecorder recorder;
            HashFinal(&context, digest.data());
        }
        EXPECT_EQ(context.state, nullptr);
        const auto& freed = FreedBlockRecorder::Blocks();
        ASSERT_EQ(freed.size(), 1U);
        EXPECT_GE(freed[0].size(), kind == HashSha512 ? sizeof(Sha512State) : sizeof(Sha256State));
        EXPECT_EQ(NonZeroBytes(freed[0]), 0U);
    }
}

// A chain of digests in one restarted state, as the key derivation runs
// it, gives each link's digest of a fresh state and allocates nothing more.
TEST(Hash, RestartedStateChainsLikeFreshStates)
{
    for (std::uint32_t kind : {HashCrc32, HashSha512, HashSha256}) {
        SCOPED_TRACE(kind);
        const std::size_t length = HashDigestLength(kind);
        std::vector<std::uint8_t> chained = PatternBytes(300);
        std::vector<std::uint8_t> fresh = chained;
        HashContext context;
        ASSERT_EQ(HashInit(&context, kind), 1);
        void* const state = context.state;
        FreedBlockRecorder recorder;
        for (int link = 0; link < 4; ++link) {
            HashUpdate(&context, chained.data(), chained.size());
            chained.resize(length);
            HashFinalAndRestart(&context, chained.data());
            ASSERT_EQ(context.state, state);
            ASSERT_EQ(Digest(kind, fresh), ToHex(chained)) << "link " << link;
            fresh = chained;
        }
        HashFinal(&context, chained.data());
        // Only the fresh states of Digest and the chain's one state at the end.
        EXPECT_EQ(FreedBlockRecorder::Blocks().size(), kind == HashCrc32 ? 0U : 5U);
    }
}

} // namespace
