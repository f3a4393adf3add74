// An output among its inputs is found by device and inode, whatever the
// spelling of its path.

#include "creation/output_identity.h"
#include "module_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(OutputAmongInputs, FindsTheOutputAsAnInputOrBelowOneThroughAnyPath)
{
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    fs::create_directories(dir / "elsewhere");
    WriteFile(dir / "in/sub/file.txt", "x");
    WriteFile(dir / "alone.txt", "x");
    fs::create_symlink(dir / "in", dir / "in-link");
    fs::create_symlink(dir / "alone.txt", dir / "alone-link.run");
    fs::create_hard_link(dir / "alone.txt", dir / "hard.run");

    const struct {
        std::string output;
        std::vector<std::string> inputs;
        OutputClash expected;
    } cases[] = {
        {dir / "elsewhere/a.run", {dir / "in", dir / "alone.txt"}, OutputClash::None},
        {dir / "a.run", {dir / "in"}, OutputClash::None},
        {dir / "in/a.run", {dir / "in"}, OutputClash::InsideInput},
        {dir / "in/sub/a.run", {dir / "alone.txt", dir / "in"}, OutputClash::InsideInput},
        {dir / "in-link/sub/a.run", {dir / "in"}, OutputClash::InsideInput},
        {dir / "in/sub/../sub/a.run", {dir / "in-link"}, OutputClash::InsideInput},
        {dir / "a.run", {dir.Path()}, OutputClash::InsideInput},
        {dir / "a.run", {"/"}, OutputClash::InsideInput},
        {dir / "alone.txt", {dir / "alone.txt"}, OutputClash::IsInput},
        {dir / "alone-link.run", {dir / "alone.txt"}, OutputClash::IsInput},
        {dir / "hard.run", {dir / "alone.txt"}, OutputClash::IsInput},
        {dir / "in/sub/file.txt", {dir / "in/sub/file.txt"}, OutputClash::IsInput},
        {dir / "alone.txt", {dir / "missing"}, OutputClash::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindOutputAmongInputs(c.output, c.inputs), c.expected) << c.output;
}

} // namespace
