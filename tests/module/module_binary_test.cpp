// The delivered module files: padded to their payload offsets, linked so
// that they need nothing but glibc and the X11 client libraries.

#include "module_test_support.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string BinPath(const std::string& name)
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/" + name;
}

std::string SourcePath(const std::string& name)
{
    const char* source = std::getenv("IVQA_SOURCE_DIR");
    return std::string(source != nullptr ? source : ".") + "/" + name;
}

struct Module {
    const char* file;
    std::uintmax_t payloadOffset;
};

const Module Modules[] = {
    {"GUI_en.iqm", IVQA_PAYLOAD_OFFSET_EN},
    {"GUI_ru.iqm", IVQA_PAYLOAD_OFFSET_RU},
};

TEST(ModuleFiles, AreExactlyAsLongAsTheirPayloadOffsets)
{
    static_assert(IVQA_PAYLOAD_OFFSET_EN % 4096 == 0 && IVQA_PAYLOAD_OFFSET_RU % 4096 == 0);
    static_assert(IVQA_PAYLOAD_OFFSET_RU > IVQA_PAYLOAD_OFFSET_EN);
    for (const Module& module : Modules)
        EXPECT_EQ(fs::file_size(BinPath(module.file)), module.payloadOffset) << module.file;
}

// Direct dependencies only: FLTK's Xft and fontconfig stack counts as part
// of the X11 client libraries.
TEST(ModuleFiles, NeedOnlyGlibcAndX11ClientLibraries)
{
    const std::set<std::string> allowed = {
        "libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "ld-linux-x86-64.so.2",
        "libX11.so.6", "libXext.so.6", "libXft.so.2", "libXrender.so.1", "libXcursor.so.1",
        "libXfixes.so.3", "libXinerama.so.1", "libfontconfig.so.1", "libfreetype.so.6",
    };
    const std::regex needed(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    for (const Module& module : Modules) {
        const auto result = RunProcess("/usr/bin/readelf", {"-d", BinPath(module.file)});
        ASSERT_EQ(result.status, 0) << result.err;
        std::set<std::string> libraries;
        for (auto it = std::sregex_iterator(result.out.begin(), result.out.end(), needed);
             it != std::sregex_iterator(); ++it)
            libraries.insert((*it)[1]);
        EXPECT_TRUE(libraries.count("libc.so.6")) << module.file;
        for (const std::string& library : libraries) {
            EXPECT_TRUE(allowed.count(library)) << module.file << " needs " << library;
            for (const char* forbidden : {"libstdc++", "libgcc_s", "libcurl", "libfltk", "libz."})
                EXPECT_EQ(library.find(forbidden), std::string::npos) << module.file << " needs " << library;
        }
    }
}

TEST(ModulePadding, RefusesAProgramLargerThanItsOffset)
{
    TempDir dir;
    WriteFile(dir / "linked", std::string(5000, 'x'));
    const std::string script = SourcePath("module/pad_module.sh");
    const auto tooBig = RunProcess("/bin/sh", {script, dir / "linked", dir / "padded", "4096"});
    EXPECT_NE(tooBig.status, 0);
    EXPECT_NE(tooBig.err.find("larger than its payload offset 4096"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "padded"));

    const auto fits = RunProcess("/bin/sh", {script, dir / "linked", dir / "padded", "8192"});
    EXPECT_EQ(fits.status, 0) << fits.err;
    const auto padded = ReadFile(dir / "padded");
    ASSERT_EQ(padded.size(), 8192U);
    EXPECT_EQ(std::string(padded.begin(), padded.begin() + 5000), std::string(5000, 'x'));
    EXPECT_EQ(std::count(padded.begin() + 5000, padded.end(), 0), 8192 - 5000);
}

} // namespace
