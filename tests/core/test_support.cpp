#include "test_support.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t NobodyId = 65534;

} // namespace

std::string U8(const std::u16string& utf16)
{
    return Utf16ToName(utf16).value();
}

void MakeDir(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + path);
}

void MakeSymlink(const std::string& target, const std::string& link)
{
    if (::symlink(target.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link);
}

std::vector<std::uint8_t> SampleBytes(std::size_t length, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t state = seed * 2654435761U + 1;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1103515245U + 12345U;
        // Every other byte from a small alphabet, so deflate finds something.
        bytes[i] = (i & 1) != 0 ? static_cast<std::uint8_t>('a' + (state >> 28))
                                : static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

std::size_t OpenDescriptorCount()
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

std::size_t ThreadCount()
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++count;
    }
    return count;
}

bool ThreadCountSettlesAt(std::size_t expected)
{
    // A joined thread may linger in /proc for a moment after its exit has
    // woken the joiner.
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (ThreadCount() == expected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::string> ListingOrder(const std::string& directory)
{
    std::vector<std::string> names;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr)
        throw std::runtime_error("cannot list " + directory);
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(listing);
    return names;
}

void RunUnprivileged(const std::function<void()>& body)
{
    if (geteuid() != 0) {
        body();
        return;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(NobodyId) == 0 && setuid(NobodyId) == 0;
        // Changing ids makes the process undumpable, which hides its own
        // /proc entries from it; the sanitizers and the tests read them.
        prctl(PR_SET_DUMPABLE, 1);
        if (!dropped) {
            std::fprintf(stderr, "cannot drop to nobody\n");
            _exit(2);
        }
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged child did not exit normally";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "checks failed in the unprivileged child (see its output above)";
}
