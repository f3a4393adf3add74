// The AES-NI and the table-driven block functions give the same stream.

#include "crypto/aes.h"
#include "crypto/cipher.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Forcing is process-wide; put it back whatever the test does.
class ForcedTablePath {
public:
    ForcedTablePath() { CipherForceAesTablePath(true); }
    ~ForcedTablePath() { CipherForceAesTablePath(false); }
    ForcedTablePath(const ForcedTablePath&) = delete;
    ForcedTablePath& operator=(const ForcedTablePath&) = delete;
};

struct AesStream {
    bool usedAesNi = false;
    std::string output;
};

AesStream Process(std::uint8_t keySeed, CipherDirection direction,
                  const std::vector<std::uint8_t>& input, const std::vector<std::size_t>& pieces)
{
    const auto key = PatternBytes(AesKeyLength, keySeed);
    const auto iv = PatternBytes(CipherIvFieldLength, 1);
    CipherContext context;
    EXPECT_EQ(CipherInit(&context, CipherAes256, AesKeyLength, iv.data(), key.data(), direction), 1);
    AesStream stream;
    stream.usedAesNi = static_cast<const AesState*>(context.state)->useAesNi != 0;
    auto data = input;
    std::size_t offset = 0;
    for (std::size_t piece : pieces) {
        CipherProcess(&context, data.data() + offset, piece);
        offset += piece;
    }
    CipherRelease(&context);
    stream.output = ToHex(data);
    return stream;
}

TEST(AesPaths, AesNiAndTablesAgree)
{
    if (!__builtin_cpu_supports("aes"))
        GTEST_SKIP() << "this processor has no AES-NI";

    const auto input = PatternBytes(1000, 9);
    const std::vector<std::size_t> pieces = {1, 15, 16, 17, 0, 951};
    for (std::uint8_t keySeed : {1, 2, 3}) {
        for (CipherDirection direction : {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            SCOPED_TRACE("key " + std::to_string(keySeed) +
                         (direction == CipherDirection::Encrypt ? ", encrypt" : ", decrypt"));
            const AesStream fast = Process(keySeed, direction, input, pieces);
            AesStream table;
            {
                ForcedTablePath forced;
                table = Process(keySeed, direction, input, pieces);
            }
            ASSERT_TRUE(fast.usedAesNi);
            ASSERT_FALSE(table.usedAesNi);
            EXPECT_EQ(fast.output, table.output);
        }
    }
}

} // namespace
