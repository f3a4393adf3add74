// Key derivation and keyfiles from every kind of location, including a
// local HTTP server started for the tests.

#include "core/key_derivation.h"
#include "core/keyfile_reader.h"
#include "crypto/cipher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Key = std::vector<std::uint8_t>;

constexpr std::uint8_t TestSalt[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The keyfile of the vectors: i * 7 mod 256 for i in 0..2047.
std::vector<std::uint8_t> VectorKeyfile()
{
    std::vector<std::uint8_t> bytes(2048);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}

DeriveKeyResult Derive(std::uint32_t cipherId, const char16_t* passphrase, const std::string& keyfile,
                       Key* key, const std::uint8_t* salt = TestSalt)
{
    key->assign(KeyBufferLength, 0);
    const std::u16string location = U16(keyfile);
    const DeriveKeyResult result =
        DeriveKey(cipherId, passphrase, keyfile.empty() ? nullptr : location.c_str(), salt, key->data(), "test");
    key->resize(CipherKeyLength(cipherId));
    return result;
}

Key DeriveOk(std::uint32_t cipherId, const char16_t* passphrase, const std::string& keyfile = "")
{
    Key key;
    EXPECT_EQ(Derive(cipherId, passphrase, keyfile, &key), DeriveKeyResult::Ok) << keyfile;
    return key;
}

int ConnectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    return result;
}

// A socket bound to a free loopback port; while it is held and not
// listening, connections to the port are refused.
class ReservedPort {
public:
    ReservedPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no free port");
        port_ = ntohs(address.sin_port);
    }
    ~ReservedPort() { Release(); }
    std::uint16_t Port() const { return port_; }
    void Release()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    std::uint16_t port_ = 0;
};

// python3's http.server on 127.0.0.1, serving one directory.
class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::string& directory)
    {
        ReservedPort reserved;
        port_ = reserved.Port();
        reserved.Release();
        const std::string port = std::to_string(port_);
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            execlp("python3", "python3", "-m", "http.server", port.c_str(), "--bind", "127.0.0.1",
                   "--directory", directory.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ConnectTo(port_) != 0) {
            int status = 0;
            if (pid_ < 0 || ::waitpid(pid_, &status, WNOHANG) == pid_ ||
                std::chrono::steady_clock::now() > deadline) {
                pid_ = -1;
                throw std::runtime_error("the test HTTP server did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~LocalHttpServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string Url(const std::string& name) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

bool CollectPiece(void* context, const std::uint8_t* data, std::size_t length)
{
    auto* pieces = static_cast<std::vector<std::vector<std::uint8_t>>*>(context);
    pieces->emplace_back(data, data + length);
    return true;
}

std::vector<std::vector<std::uint8_t>> Pieces(const std::string& location, bool* ok)
{
    std::vector<std::vector<std::uint8_t>> pieces;
    std::uint8_t block[KeyfileBlockSize];
    *ok = ReadKeyfile(location.c_str(), "test", block, &CollectPiece, &pieces);
    return pieces;
}

} // namespace

TEST(DeriveKey, MatchesTheKnownAnswers)
{
    const char* source = std::getenv("IVQA_SOURCE_DIR");
    std::ifstream vectors(std::string(source != nullptr ? source : ".") + "/tests/core/data/key_derivation_vectors.txt");
    ASSERT_TRUE(vectors) << "vector file missing";
    TempDir dir;
    WriteFile(dir / "keyfile", VectorKeyfile());

    const std::regex line(R"(cipher (\d) (?:passphrase '([^']*)'|no passphrase)(.*)salt ([0-9a-f]{32}) -> ([0-9a-f]+))");
    std::string text;
    int checked = 0;
    while (std::getline(vectors, text)) {
        std::smatch match;
        if (!std::regex_match(text, match, line))
            continue;
        SCOPED_TRACE(text);
        const auto cipherId = static_cast<std::uint32_t>(std::stoul(match[1]));
        const bool hasPassphrase = match[2].matched;
        const bool hasKeyfile = match[3].str().find("no keyfile") == std::string::npos;
        const std::u16string passphrase = U16(match[2]);
        Key key;
        ASSERT_EQ(Derive(cipherId, hasPassphrase ? passphrase.c_str() : nullptr,
                         hasKeyfile ? dir / "keyfile" : "", &key, FromHex(match[4]).data()),
                  DeriveKeyResult::Ok);
        EXPECT_EQ(key, FromHex(match[5]));
        ++checked;
    }
    EXPECT_EQ(checked, 7) << "every vector line parsed";
}

TEST(DeriveKey, InputsAreConcatenatedWithoutSeparators)
{
    TempDir dir;
    // "xyz" as UTF-16LE continues the passphrase "pw".
    WriteFile(dir / "xyz", std::vector<std::uint8_t>{'x', 0, 'y', 0, 'z', 0});
    WriteFile(dir / "empty", std::string());
    for (const std::uint32_t cipherId : {CipherAes256, CipherBlowfish, CipherRc5}) {
        SCOPED_TRACE(cipherId);
        EXPECT_EQ(DeriveOk(cipherId, u"pw", dir / "xyz"), DeriveOk(cipherId, u"pwxyz"));
        EXPECT_EQ(DeriveOk(cipherId, nullptr), DeriveOk(cipherId, u""));
        EXPECT_EQ(DeriveOk(cipherId, u"pw", dir / "empty"), DeriveOk(cipherId, u"pw"));
        EXPECT_NE(DeriveOk(cipherId, u"pw"), DeriveOk(cipherId, u"pW"));

        std::uint8_t otherSalt[16];
        std::copy(std::begin(TestSalt), std::end(TestSalt), otherSalt);
        otherSalt[15] ^= 0x80;
        Key salted;
        ASSERT_EQ(Derive(cipherId, u"pw", "", &salted, otherSalt), DeriveKeyResult::Ok);
        EXPECT_NE(salted, DeriveOk(cipherId, u"pw"));
    }
}

class KeyfileLocations : public ::testing::Test {
protected:
    // One server for the suite: starting python3 takes a moment.
    static void SetUpTestSuite()
    {
        dir_ = std::make_unique<TempDir>();
        server_ = std::make_unique<LocalHttpServer>(dir_->Path());
    }
    static void TearDownTestSuite()
    {
        server_.reset();
        dir_.reset();
    }
    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<LocalHttpServer> server_;
};

TEST_F(KeyfileLocations, EveryLocationDeliversFullBlocksUntilTheLast)
{
    for (const std::size_t size : {0U, 1U, 1023U, 1024U, 2048U, 2500U}) {
        SCOPED_TRACE(size);
        const std::string name = "key" + std::to_string(size);
        const std::vector<std::uint8_t> content = SampleBytes(size, 11);
        WriteFile(*dir_ / name, content);
        std::vector<std::size_t> expected(size / KeyfileBlockSize, KeyfileBlockSize);
        expected.push_back(size % KeyfileBlockSize);

        for (const std::string& location : {*dir_ / name, "file://" + (*dir_ / name), server_->Url(name)}) {
            SCOPED_TRACE(location);
            bool ok = false;
            const auto pieces = Pieces(location, &ok);
            ASSERT_TRUE(ok);
            std::vector<std::size_t> lengths;
            std::vector<std::uint8_t> joined;
            for (const auto& piece : pieces) {
                lengths.push_back(piece.size());
                joined.insert(joined.end(), piece.begin(), piece.end());
            }
            EXPECT_EQ(lengths, expected);
            EXPECT_EQ(joined, content);
        }
    }
}

TEST_F(KeyfileLocations, SameBytesGiveTheSameKeyFromEveryLocation)
{
    WriteFile(*dir_ / "vector.key", VectorKeyfile());
    const Key local = DeriveOk(CipherAes256, u"pw", *dir_ / "vector.key");
    EXPECT_EQ(DeriveOk(CipherAes256, u"pw", "file://" + (*dir_ / "vector.key")), local);
    EXPECT_EQ(DeriveOk(CipherAes256, u"pw", server_->Url("vector.key")), local);
}

TEST_F(KeyfileLocations, LocationsThatNameNothingAreKeyfileErrors)
{
    ReservedPort refused;
    MakeDir(*dir_ / "folder");
    const std::string locations[] = {
        *dir_ / "missing",
        "file://" + (*dir_ / "missing"),
        "file://",
        *dir_ / "folder",
        server_->Url("missing.key"),
        "http://127.0.0.1:" + std::to_string(refused.Port()) + "/key",
        "gopher://127.0.0.1/key",
    };
    for (const std::string& location : locations) {
        SCOPED_TRACE(location);
        Key key;
        EXPECT_EQ(Derive(CipherRc4, u"pw", location, &key), DeriveKeyResult::KeyfileError);
    }
}
