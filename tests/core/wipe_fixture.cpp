#include "wipe_fixture.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t NobodyId = 65534;

CallbackRecorder* g_recorder = nullptr;

CallbackRecorder& Active()
{
    if (g_recorder == nullptr)
        throw std::logic_error("no callback recorder");
    return *g_recorder;
}

void ThrowAt(unsigned call, unsigned at, const char* what)
{
    if (at != 0 && call == at)
        throw std::runtime_error(what);
}

// Gives the owner full access below `path`, links not followed, so that the
// tree can be removed whatever a test left it as.
void OpenUp(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, error)))
        return;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
    for (const auto& child : std::filesystem::directory_iterator(path, error))
        OpenUp(child.path());
}

} // namespace

ScratchDir::ScratchDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/ivqa-wipe-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Children that dropped root work in here too.
    ::chmod(path_.c_str(), 0755);
}

ScratchDir::~ScratchDir()
{
    std::error_code error;
    OpenUp(path_);
    std::filesystem::remove_all(path_, error);
}

std::u16string Wide(const std::string& utf8)
{
    return Utf8ToUtf16(utf8).value();
}

std::string Narrow(const std::u16string& utf16)
{
    return Utf16ToUtf8(utf16).value_or("<not UTF-16>");
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, unsigned mode)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    const bool ok = bytes.empty() || ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::fchmod(fd, mode);
    ::close(fd);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    std::uint8_t chunk[65536];
    ssize_t count;
    while ((count = ::read(fd, chunk, sizeof(chunk))) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    ::close(fd);
    return bytes;
}

std::vector<std::uint8_t> PatternedBytes(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

void MakeDirectory(const std::string& path, unsigned mode)
{
    if (::mkdir(path.c_str(), 0700) != 0 || ::chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot make " + path);
}

void MakeLink(const std::string& target, const std::string& link)
{
    if (::symlink(target.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link);
}

void MakeFifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0644) != 0)
        throw std::runtime_error("cannot make FIFO " + path);
}

bool Exists(const std::string& path)
{
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> Listing(const std::string& directory)
{
    std::vector<std::string> names;
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr)
        throw std::runtime_error("cannot list " + directory);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(listing);
    return names;
}

std::size_t OpenDescriptorCount()
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

CallbackRecorder::CallbackRecorder()
{
    g_recorder = this;
}

CallbackRecorder::~CallbackRecorder()
{
    g_recorder = nullptr;
}

void RecordName(const char16_t* name)
{
    CallbackRecorder& recorder = Active();
    ThrowAt(static_cast<unsigned>(recorder.names.size()) + 1, recorder.throwAtName, "name callback");
    if (recorder.onName)
        recorder.onName(name);
    recorder.names.emplace_back(name);
}

void RecordRange(const std::uint64_t* steps)
{
    CallbackRecorder& recorder = Active();
    ThrowAt(static_cast<unsigned>(recorder.ranges.size()) + 1, recorder.throwAtRange, "range callback");
    recorder.ranges.push_back(*steps);
}

void RecordStep()
{
    CallbackRecorder& recorder = Active();
    ++recorder.steps;
    ThrowAt(static_cast<unsigned>(recorder.steps), recorder.throwAtStep, "step callback");
    if (recorder.reader < 0)
        return;
    const std::uint64_t index = (recorder.steps - 1) % recorder.buffersPerPass;
    std::vector<std::uint8_t> written(PatternBytes);
    const ssize_t count = ::pread(recorder.reader, written.data(), written.size(),
                                  static_cast<off_t>(index * PatternBytes));
    int value = count == static_cast<ssize_t>(PatternBytes) ? written[0] : -1;
    for (const std::uint8_t byte : written)
        if (byte != written[0])
            value = -1;
    recorder.writtenValues.push_back(value);
}

std::int32_t RecordSkip(const char16_t* name)
{
    CallbackRecorder& recorder = Active();
    ThrowAt(static_cast<unsigned>(recorder.skips.size()) + 1, recorder.throwAtSkip, "skip callback");
    recorder.skips.emplace_back(name);
    if (recorder.answers.empty())
        return recorder.laterAnswer;
    const std::int32_t answer = recorder.answers.front();
    recorder.answers.pop_front();
    return answer;
}

void RunInChild(const std::function<void()>& body, bool dropRoot, const std::function<void()>& prepare)
{
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (dropRoot && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(NobodyId) != 0 || setuid(NobodyId) != 0) {
                std::fprintf(stderr, "cannot drop to nobody\n");
                _exit(2);
            }
            // Changing ids makes the process undumpable, which hides its
            // /proc/self entries from it; the library and the sanitizers
            // read them.
            prctl(PR_SET_DUMPABLE, 1);
        }
        if (prepare)
            prepare();
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child did not exit normally";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "checks failed in the child (see its output above)";
}
