#include "sample_tree.h"

#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

void MakeSampleTree(const std::string& input)
{
    constexpr std::size_t MiB = 1024 * 1024;
    fs::create_directories(input + "/nested/deeper");
    fs::create_directories(input + "/nested/empty-dir");
    WriteFile(input + "/empty.txt", std::vector<std::uint8_t>{});
    WriteFile(input + "/exact.bin", TextBytes(MiB, 1));
    WriteFile(input + "/plus1.bin", NoiseBytes(MiB + 1, 2));
    WriteFile(input + "/nested/deeper/file.txt", "deep\n");
    WriteFile(input + "/\xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9 \xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt", "non-ASCII");
    WriteFile(input + "/readonly.txt", "keep");
    ::chmod((input + "/readonly.txt").c_str(), 0444);
}

void StampTimes(const std::string& root, long firstNanoseconds, long step)
{
    long nanoseconds = firstNanoseconds;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            SetTime(entry.path().string(), 1600000000 + nanoseconds % 1000, nanoseconds);
        nanoseconds += step;
    }
}

void SetTime(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void ExpectSameTree(const std::string& source, const std::string& extracted)
{
    ASSERT_EQ(ListTree(source), ListTree(extracted));
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file())
            continue;
        const std::string relative = fs::relative(entry.path(), source).string();
        const std::string copy = extracted + "/" + relative;
        EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(copy)) << relative;
        const timespec from = LastWriteTime(entry.path().string());
        const timespec to = LastWriteTime(copy);
        EXPECT_EQ(to.tv_sec, from.tv_sec) << relative;
        EXPECT_EQ(to.tv_nsec, from.tv_nsec / 100 * 100) << relative;
    }
}

const char16_t* OrNull(const std::u16string& text)
{
    return text.empty() ? nullptr : text.c_str();
}
