#include "cli_fixture.h"

#include "payload_builder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

bool HaveRealModules()
{
#ifdef IVQA_HAVE_REAL_MODULES
    return true;
#else
    return false;
#endif
}

bool HaveRealWindowsModules()
{
#ifdef IVQA_HAVE_REAL_WINDOWS_MODULES
    return true;
#else
    return false;
#endif
}

std::uint64_t PayloadOffsetOf(const std::string& key, const std::string& target)
{
    if (target == "windows")
        return key == "en" ? IVQA_PAYLOAD_OFFSET_WIN_EN : IVQA_PAYLOAD_OFFSET_WIN_RU;
    return key == "en" ? IVQA_PAYLOAD_OFFSET_EN : IVQA_PAYLOAD_OFFSET_RU;
}

std::string StandInModule(const TempDir& dir, const std::string& key, const std::string& target)
{
    const std::string path = dir / ("stand-in-" + key + (target == "windows" ? ".exe.iqm" : ".iqm"));
    if (!fs::exists(path)) {
        std::vector<std::uint8_t> bytes(PayloadOffsetOf(key, target), 0);
        // The head of a program of its system: ivqa takes no other module.
        const std::string head = target == "windows" ? "MZ" : "\x7f" "ELF";
        std::copy(head.begin(), head.end(), bytes.begin());
        WriteFile(path, bytes);
    }
    return path;
}

std::string ModuleFileOf(const TempDir& dir, const std::string& key, const std::string& target)
{
    const bool windows = target == "windows";
    if (windows ? HaveRealWindowsModules() : HaveRealModules())
        return std::string(std::getenv("IVQA_BIN_DIR")) + "/GUI_" + key + (windows ? ".exe.iqm" : ".iqm");
    return StandInModule(dir, key, target);
}

std::vector<std::string> ModuleArgs(const TempDir& dir, const std::string& key, const std::string& target)
{
    const bool windows = target == "windows";
    std::vector<std::string> args;
    if (!(windows ? HaveRealWindowsModules() : HaveRealModules()))
        args = {"--module", StandInModule(dir, key, target)};
    else if (key != "en")
        args = {"--module", key};
    if (windows)
        args.insert(args.end(), {"--target", "windows"});
    return args;
}

std::string MakeInputTree(const TempDir& dir)
{
    const std::string root = dir / "src";
    const std::string input = root + "/input";
    fs::create_directories(input + "/nested/deeper");
    fs::create_directories(input + "/empty-dir");
    WriteFile(input + "/notes.txt", "Some notes.\n");
    WriteFile(input + "/empty.txt", std::vector<std::uint8_t>{});
    WriteFile(input + "/two-blocks.bin", NoiseBytes(1048576 + 4097, 7));
    WriteFile(input + "/nested/deeper/deep.txt", TextBytes(30000, 8));
    WriteFile(input + "/Gr\xc3\xbc\xc3\x9f" "e \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.txt", "non-ASCII");
    WriteFile(root + "/top.txt", "top\n");
    return root;
}

void ExpectSameTree(const std::string& expected, const std::string& actual)
{
    ASSERT_EQ(ListTree(expected), ListTree(actual));
    for (const auto& entry : fs::recursive_directory_iterator(expected)) {
        if (entry.is_regular_file()) {
            const std::string relative = fs::relative(entry.path(), expected).string();
            EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(actual + "/" + relative)) << relative;
        }
    }
}

std::string BrowserPageNote()
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    const std::string page = std::string(bin != nullptr ? bin : ".") + "/ivqa-extract.html";
    if (!fs::is_regular_file(page))
        return "";
    return "ivqa: a recipient without Linux or Windows opens it in a browser with " + page +
           " (ivqa browser-page writes a copy to send along)\n";
}

std::vector<std::string> CreateArgs(const TempDir& dir, const std::string& output,
                                    const std::vector<std::string>& rest, const std::string& module,
                                    const std::string& target)
{
    std::vector<std::string> args{"create", "-o", output};
    const auto moduleArgs = ModuleArgs(dir, module, target);
    args.insert(args.end(), moduleArgs.begin(), moduleArgs.end());
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}
