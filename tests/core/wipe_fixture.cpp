#include "wipe_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

CallbackRecorder* g_recorder = nullptr;

CallbackRecorder& Active()
{
    if (g_recorder == nullptr)
        throw std::logic_error("no callback recorder");
    return *g_recorder;
}

void ThrowAt(std::uint64_t call, unsigned at, const char* what)
{
    if (at != 0 && call == at)
        throw std::runtime_error(what);
}

} // namespace

void WriteFileMode(const std::string& path, const std::vector<std::uint8_t>& bytes, unsigned mode)
{
    WriteFile(path, bytes);
    if (::chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot chmod " + path);
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
    ThrowAt(recorder.names.size() + 1, recorder.throwAtName, "name callback");
    if (recorder.onName)
        recorder.onName(name);
    recorder.names.emplace_back(name);
}

void RecordRange(const std::uint64_t* steps)
{
    CallbackRecorder& recorder = Active();
    ThrowAt(recorder.ranges.size() + 1, recorder.throwAtRange, "range callback");
    if (recorder.onRange)
        recorder.onRange();
    recorder.ranges.push_back(*steps);
}

void RecordStep()
{
    CallbackRecorder& recorder = Active();
    ++recorder.steps;
    ThrowAt(recorder.steps, recorder.throwAtStep, "step callback");
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
    ThrowAt(recorder.skips.size() + 1, recorder.throwAtSkip, "skip callback");
    recorder.skips.emplace_back(name);
    if (recorder.answers.empty())
        return recorder.laterAnswer;
    const std::int32_t answer = recorder.answers.front();
    recorder.answers.pop_front();
    return answer;
}

void RunInLimitedChild(const std::function<void()>& prepare, const std::function<void()>& body)
{
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
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
