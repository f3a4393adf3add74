// The known-answer vectors of data/cipher_kat.txt: for each cipher the
// register after keying, one block function call on a zero block, and a
// 40-byte stream in one call and in calls of 4, 1 and 35 bytes, both ways.

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/cast256.h"
#include "crypto/cipher.h"
#include "crypto/rc5.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct KatSection {
    std::uint32_t id = 0;
    std::map<std::string, std::string> values;

    std::vector<std::uint8_t> Hex(const std::string& name) const { return FromHex(values.at(name)); }
    bool Has(const std::string& name) const { return values.count(name) != 0; }
};

std::string Trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    const auto end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// "[cipher N name]" starts a section of "name = hex" lines; other sections
// (the key derivation) are not for the ciphers.
std::vector<KatSection> ReadCipherSections()
{
    const char* sourceDir = std::getenv("IVQA_SOURCE_DIR");
    const std::string path = std::string(sourceDir != nullptr ? sourceDir : ".") +
                             "/tests/crypto/data/cipher_kat.txt";
    std::ifstream file(path);
    EXPECT_TRUE(file) << "cannot open " << path;

    std::vector<KatSection> sections;
    bool inCipher = false;
    std::string line;
    while (std::getline(file, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inCipher = line.rfind("[cipher ", 0) == 0;
            if (inCipher) {
                sections.emplace_back();
                sections.back().id = static_cast<std::uint32_t>(std::stoul(line.substr(8)));
            }
            continue;
        }
        const auto equals = line.find('=');
        if (inCipher && equals != std::string::npos)
            sections.back().values[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    return sections;
}

const std::uint8_t* FeedbackRegister(const CipherContext& context)
{
    switch (context.id) {
    case CipherAes256:
        return static_cast<const AesState*>(context.state)->feedback;
    case CipherCast256:
        return static_cast<const Cast256State*>(context.state)->feedback;
    case CipherBlowfish:
        return static_cast<const BlowfishState*>(context.state)->feedback;
    case CipherRc5:
        return static_cast<const Rc5State*>(context.state)->feedback;
    default:
        return nullptr;
    }
}

std::vector<std::uint8_t> EncryptZeroBlock(const CipherContext& context)
{
    switch (context.id) {
    case CipherAes256: {
        std::vector<std::uint8_t> block(AesBlockLength);
        AesEncryptBlock(static_cast<const AesState*>(context.state), block.data());
        return block;
    }
    case CipherCast256: {
        std::vector<std::uint8_t> block(Cast256BlockLength);
        Cast256EncryptBlock(static_cast<const Cast256State*>(context.state), block.data());
        return block;
    }
    case CipherBlowfish: {
        std::vector<std::uint8_t> block(BlowfishBlockLength);
        BlowfishEncryptBlock(static_cast<const BlowfishState*>(context.state), block.data());
        return block;
    }
    case CipherRc5: {
        std::uint64_t a = 0;
        std::uint64_t b = 0;
        Rc5EncryptBlock(static_cast<const Rc5State*>(context.state), &a, &b);
        std::vector<std::uint8_t> block(Rc5BlockLength);
        for (int k = 0; k < 8; ++k) {
            block[k] = static_cast<std::uint8_t>(a >> (8 * k));
            block[8 + k] = static_cast<std::uint8_t>(b >> (8 * k));
        }
        return block;
    }
    default:
        return {};
    }
}

std::vector<std::uint8_t> RunStream(const KatSection& kat, CipherDirection direction,
                              std::vector<std::uint8_t> data, const std::vector<std::size_t>& pieces)
{
    const auto key = kat.Hex("key");
    const auto iv = kat.Hex("iv");
    CipherContext context;
    EXPECT_EQ(CipherInit(&context, kat.id, static_cast<std::uint32_t>(key.size()), iv.data(),
                         key.data(), direction),
              1);
    std::size_t offset = 0;
    for (std::size_t piece : pieces) {
        CipherProcess(&context, data.data() + offset, piece);
        offset += piece;
    }
    EXPECT_EQ(offset, data.size());
    CipherRelease(&context);
    return data;
}

TEST(CipherKnownAnswers, EveryVectorOfTheFileHolds)
{
    const auto sections = ReadCipherSections();
    ASSERT_EQ(sections.size(), CipherCount) << "one section per cipher expected";

    for (const KatSection& kat : sections) {
        SCOPED_TRACE("cipher " + std::to_string(kat.id));
        const auto key = kat.Hex("key");
        const auto iv = kat.Hex("iv");
        ASSERT_EQ(key.size(), CipherKeyLength(kat.id));
        ASSERT_EQ(iv.size(), CipherIvFieldLength);

        CipherContext context;
        ASSERT_EQ(CipherInit(&context, kat.id, static_cast<std::uint32_t>(key.size()), iv.data(),
                             key.data()),
                  1);
        if (kat.Has("register_after_init")) {
            const auto expected = kat.Hex("register_after_init");
            EXPECT_EQ(ToHex({FeedbackRegister(context), expected.size()}), ToHex(expected));
        }
        if (kat.Has("block_zero_encrypted")) {
            EXPECT_EQ(ToHex(EncryptZeroBlock(context)), kat.values.at("block_zero_encrypted"));
        }
        CipherRelease(&context);

        const auto plaintext = kat.Hex("plaintext");
        const std::vector<std::size_t> oneCall = {plaintext.size()};
        const std::vector<std::size_t> threeCalls = {4, 1, plaintext.size() - 5};
        for (const auto& [name, pieces] : {std::pair{"stream_one_call", oneCall},
                                           std::pair{"stream_calls_4_1_35", threeCalls}}) {
            SCOPED_TRACE(name);
            const auto ciphertext = kat.Hex(name);
            EXPECT_EQ(ToHex(RunStream(kat, CipherDirection::Encrypt, plaintext, pieces)),
                      ToHex(ciphertext));
            EXPECT_EQ(ToHex(RunStream(kat, CipherDirection::Decrypt, ciphertext, pieces)),
                      ToHex(plaintext));
        }
    }
}

} // namespace
