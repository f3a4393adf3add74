// Whatever names a Linux folder holds come back from an archive byte for
// byte, through `ivqa create`, `ivqa extract` and the archive's own run.

#include "cli_fixture.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr char Secret[] = "correct horse\n";

const struct {
    const char* label;
    std::string name;
} NotUtf8Names[] = {
    {"Latin-1", "caf\xE9.txt"},
    {"CP1251", "\xCF\xF0\xE8\xE2\xE5\xF2.doc"},
    {"stray continuation byte", "a\x80z"},
    {"only invalid bytes", "\xFF\xFE\xC0"},
};

TEST(NotUtf8Names, AreArchivedAndRestoredByteForByte)
{
    TempDir dir;
    fs::create_directories(dir / "src/input/sub\xE9");
    WriteFile(dir / "src/input/plain.txt", "plain");
    for (const auto& c : NotUtf8Names) {
        WriteFile(dir / "src/input/" + c.name, c.label);
        WriteFile(dir / "src/input/sub\xE9/" + c.name, std::string("nested ") + c.label);
    }
    WriteFile(dir / "src/top\xE9", "top");
    const std::string archive = dir / "names.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, {dir / "src/input", dir / "src/top\xE9"}), Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    // Four in each folder, the folder itself and the file given by path.
    EXPECT_NE(created.err.find("10 names that are not valid UTF-8 were stored byte for byte"), std::string::npos)
        << created.err;

    const auto check = [&](const std::string& out) {
        ExpectSameTree(dir / "src/input", out + "/input");
        EXPECT_EQ(ReadText(out + "/top\xE9"), "top");
    };
    fs::create_directory(dir / "extracted");
    const auto extracted = RunIvqa({"extract", archive, "--dest", dir / "extracted"}, Secret);
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    check(dir / "extracted");

    if (!HaveRealModules())
        return;
    fs::create_directory(dir / "run");
    const auto outcome = RunArchiveConsole(archive, {"--dest", dir / "run"}, Secret);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    check(dir / "run");
}

TEST(NotUtf8Names, ValidNamesSayNothing)
{
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto created = RunIvqa(CreateArgs(dir, dir / "plain.run", {source + "/input"}), Secret);
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.err.find("not valid UTF-8"), std::string::npos) << created.err;
}

} // namespace
