// ivqa passgen and ivqa keygen.

#include "cli_fixture.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <sys/stat.h>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(Passgen, PrintsCountLinesOfLengthPrintableCharacters)
{
    const struct {
        std::vector<std::string> args;
        std::size_t count;
        std::size_t length;
    } cases[] = {
        {{"passgen", "-l", "16", "-n", "4"}, 4, 16},
        {{"passgen"}, 4, 16},
        {{"passgen", "--length=6", "--count=1"}, 1, 6},
        {{"passgen", "-l", "64", "-n", "50"}, 50, 64},
    };
    for (const auto& c : cases) {
        const auto outcome = RunIvqa(c.args);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        ASSERT_EQ(outcome.out.back(), '\n');
        const auto lines = Lines(outcome.out);
        ASSERT_EQ(lines.size(), c.count) << outcome.out;
        for (const std::string& line : lines) {
            EXPECT_EQ(line.size(), c.length) << line;
            for (const char ch : line)
                EXPECT_TRUE(ch >= 33 && ch <= 126) << static_cast<int>(ch);
        }
        EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), c.count) << "all different";
    }
}

TEST(Keygen, WritesSizeRandomBytesToAPrivateFile)
{
    TempDir dir;
    const struct {
        std::vector<std::string> options;
        std::size_t size;
    } cases[] = {{{"-s", "1000"}, 1000}, {{}, 1024}, {{"--size=64"}, 64}, {{"-s", "16384"}, 16384}};
    std::set<std::vector<std::uint8_t>> seen;
    for (const auto& c : cases) {
        const std::string path = dir / ("key" + std::to_string(c.size));
        std::vector<std::string> args{"keygen"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(path);
        const auto outcome = RunIvqa(args);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        const auto bytes = ReadFile(path);
        EXPECT_EQ(bytes.size(), c.size);
        seen.insert(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 64));
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
    }
    EXPECT_EQ(seen.size(), std::size(cases)) << "every keyfile is new";

    const auto refused = RunIvqa({"keygen", dir / "no/such/folder/key"});
    EXPECT_EQ(refused.status, 73);
    EXPECT_EQ(refused.err, "ivqa: Can not create keyfile! " + dir / "no/such/folder/key" + ": No such file or directory\n");
}

} // namespace
