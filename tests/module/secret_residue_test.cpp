// Archive creation and extraction in a child process, which stops after
// IQ_SDAFinal and after the extraction; each time its writable memory is
// read through /proc and must hold neither the passphrase (UTF-16 or
// UTF-8), nor the derived key, nor a piece of the archived plaintext.

#include "module_test_support.h"
#include "payload_builder.h"

#include "core/archive_format.h"
#include "core/key_derivation.h"
#include "core/sealed_key.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Needle {
    const char* what;
    std::vector<std::uint8_t> bytes;
};

// Where in the child's writable mappings each needle was found.
std::vector<std::string> ScanWritableMemory(pid_t pid, const std::vector<Needle>& needles)
{
    std::vector<std::string> found;
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    const int mem = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (mem < 0)
        return {"cannot open /proc/PID/mem"};
    std::vector<std::uint8_t> region;
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode;
        std::getline(fields, path);
        if (perms.size() < 2 || perms[1] != 'w')
            continue;
        const std::uint64_t begin = std::stoull(range.substr(0, range.find('-')), nullptr, 16);
        const std::uint64_t end = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
        region.resize(end - begin);
        const ssize_t read = ::pread(mem, region.data(), region.size(), static_cast<off_t>(begin));
        if (read <= 0)
            continue;
        for (const Needle& needle : needles) {
            const auto at = std::search(region.begin(), region.begin() + read, needle.bytes.begin(), needle.bytes.end());
            if (at != region.begin() + read)
                found.push_back(std::string(needle.what) + " at +" + std::to_string(at - region.begin()) + " in" + path +
                                " " + range);
        }
    }
    ::close(mem);
    return found;
}

// Stops are reported through waitpid; false when the child exited instead.
bool WaitForStop(pid_t pid, int* status)
{
    return ::waitpid(pid, status, WUNTRACED) == pid && WIFSTOPPED(*status);
}

class SecretResidue : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(SecretResidue, NoneAfterFinalOrAfterTheExtraction)
{
    const std::uint32_t cipher = GetParam();
    TempDir dir;
    const std::string input = dir / "input.bin";
    const std::vector<std::uint8_t> plaintext = NoiseBytes(BlockSize + BlockSize / 2, 40 + cipher);
    WriteFile(input, plaintext);
    const std::string archive = dir / "archive.run";
    WriteFile(archive, std::vector<std::uint8_t>{});
    const std::string destination = dir / "dest";
    ASSERT_EQ(::mkdir(destination.c_str(), 0700), 0);
    const std::string passphrase = "Qx7-residue-" + std::to_string(cipher) + "-kP2vW9zL";

    // The authenticated cipher's archive at its floor cost.
    ::setenv("IVQA_KDF_COST", "floor", 1);
    int toChild[2];
    ASSERT_EQ(::pipe2(toChild, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(toChild[0], 0);
        const std::string id = std::to_string(cipher);
        ::execl(SECRET_PROBE_PATH, "secret_probe", id.c_str(), input.c_str(), archive.c_str(), destination.c_str(),
                static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(toChild[0]);
    const std::string lines = passphrase + "\n" + passphrase + "\n";
    ASSERT_EQ(::write(toChild[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(toChild[1]);

    std::vector<Needle> needles;
    needles.push_back({"passphrase (UTF-8)", std::vector<std::uint8_t>(passphrase.begin(), passphrase.end())});
    std::vector<std::uint8_t> utf16;
    for (const char c : passphrase) {
        utf16.push_back(static_cast<std::uint8_t>(c));
        utf16.push_back(0);
    }
    needles.push_back({"passphrase (UTF-16)", utf16});
    // The last 64 bytes of the file: still in zlib's window when a block ends.
    needles.push_back({"plaintext", std::vector<std::uint8_t>(plaintext.end() - 64, plaintext.end())});

    int status = 0;
    ASSERT_TRUE(WaitForStop(child, &status)) << "the probe did not stop after IQ_SDAFinal";
    // The key, derived here from the salt the child wrote.
    const std::vector<std::uint8_t> payload = ReadFile(archive);
    ASSERT_GE(payload.size(), 2 + CipherHeaderSize);
    std::uint8_t key[KeyBufferLength] = {};
    const std::u16string units(passphrase.begin(), passphrase.end());
    const std::uint8_t* const header = payload.data() + 2;
    if (cipher == CipherXChaCha20Poly1305)
        ASSERT_EQ(DeriveSealedKey(LoadSealedCost(header), units.c_str(), nullptr, header + SealedSaltOffset, key,
                                  "probe", nullptr),
                  DeriveKeyResult::Ok);
    else
        ASSERT_EQ(DeriveKey(cipher, units.c_str(), nullptr, header + HeaderSaltOffset, key, "probe"),
                  DeriveKeyResult::Ok);
    // Whole, or any 16-byte piece of it (an AES round key holds one).
    const std::size_t keyLength =
        cipher == CipherXChaCha20Poly1305 ? SealedStreamKeyLength : CipherKeyLength(cipher);
    needles.push_back({"derived key", std::vector<std::uint8_t>(key, key + keyLength)});
    for (std::size_t piece = 0; piece + 16 <= keyLength; piece += 16)
        needles.push_back({"16 bytes of the derived key", std::vector<std::uint8_t>(key + piece, key + piece + 16)});

    for (const std::string& place : ScanWritableMemory(child, needles))
        ADD_FAILURE() << "after IQ_SDAFinal: " << place;
    ::kill(child, SIGCONT);

    ASSERT_TRUE(WaitForStop(child, &status)) << "the probe did not stop after the extraction";
    EXPECT_EQ(ReadFile(destination + "/input.bin"), plaintext);
    for (const std::string& place : ScanWritableMemory(child, needles))
        ADD_FAILURE() << "after the extraction: " << place;
    ::kill(child, SIGCONT);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

INSTANTIATE_TEST_SUITE_P(EveryCipher, SecretResidue, ::testing::Values(0U, 1U, 2U, 3U, 4U, 5U));

} // namespace
