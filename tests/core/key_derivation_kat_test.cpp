// The key-derivation lines of the cipher known-answer file: passphrase,
// keyfile and salt through 1,000 rounds of SHA-256 or SHA-512.

#include "core/key_derivation.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t length)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 15];
    }
    return text;
}

// A keyfile of bytes i * 7 mod 256 for i = 0 to 2047, removed afterwards.
class PatternKeyfile {
public:
    PatternKeyfile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ivqa-keyfile-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        path_ = pattern;
        std::vector<std::uint8_t> bytes(2048);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7);
        ok_ = fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0)
            close(fd);
    }
    ~PatternKeyfile() { std::remove(path_.c_str()); }
    PatternKeyfile(const PatternKeyfile&) = delete;
    PatternKeyfile& operator=(const PatternKeyfile&) = delete;

    bool Ok() const { return ok_; }
    // The temporary directory's path is taken to be ASCII.
    std::u16string Path() const { return {path_.begin(), path_.end()}; }

private:
    std::string path_;
    bool ok_ = false;
};

TEST(KeyDerivation, KnownAnswers)
{
    PatternKeyfile keyfile;
    ASSERT_TRUE(keyfile.Ok());
    const std::u16string keyfilePath = keyfile.Path();

    struct Case {
        std::uint32_t cipherId;
        const char16_t* passphrase;
        bool withKeyfile;
        const char* key;
    };
    const Case cases[] = {
        {0, u"Secret pass", false, "519c44f9a08d7948f6a5755049d2188a44af544085c86e01d372799ae4eea282"},
        {1, u"Secret pass", false, "519c44f9a08d7948f6a5755049d2188a44af544085c86e01d372799ae4eea282"},
        {2, u"Secret pass", false,
         "af658cc1ea8aa4ef29ef95085e8798d3674c3506d8ba6d8dd51e4a263218864e682b47f50f8397d8303ef0256013765577c5622a30378cf2"},
        {3, u"Secret pass", false,
         "c4e3d350956b3b2fcce878b11c8d1ad55904724167154e62708ed5f4c42b2cc91304f783f27dcb9f8d2b23631e6f61342a53ee3452fd67e21d671df4c4205ef4"},
        {4, u"Secret pass", false,
         "c4e3d350956b3b2fcce878b11c8d1ad55904724167154e62708ed5f4c42b2cc91304f783f27dcb9f8d2b23631e6f61342a53ee3452fd67e21d671df4c4205ef4"},
        {0, u"pw", true, "35bcae18226544d716d0d927ba465191cfd8d65f3e11a5efaae2be227c675b57"},
        {2, nullptr, true,
         "863ee82868a95571b3ac5f0a11004e44ed1ce7b916bebff23e1210b733fbcc6840cbc9a6ee1fb8c2f7c55abb3b635aaf4ff2d4c7db1bf609"},
    };
    std::uint8_t salt[16];
    for (int i = 0; i < 16; ++i)
        salt[i] = static_cast<std::uint8_t>(i);

    for (const Case& c : cases) {
        SCOPED_TRACE("cipher " + std::to_string(c.cipherId) + (c.withKeyfile ? " with keyfile" : ""));
        std::uint8_t key[KeyBufferLength] = {};
        ASSERT_EQ(DeriveKey(c.cipherId, c.passphrase, c.withKeyfile ? keyfilePath.c_str() : nullptr, salt,
                            key, "test"),
                  DeriveKeyResult::Ok);
        EXPECT_EQ(Hex(key, CipherKeyLength(c.cipherId)), c.key);
    }
}

} // namespace
