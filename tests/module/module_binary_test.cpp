// The delivered module files: padded to their payload offsets, linked so
// that they start with nothing but glibc 2.17 or later.

#include "module_test_support.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <tuple>

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

// What the loader must find before main runs: libc's own libraries, and
// no symbol version newer than glibc 2.17. The X libraries are loaded at
// run time and do not show here.
TEST(ModuleFiles, StartOnGlibc217WithLibcAlone)
{
    const std::set<std::string> libcOwn = {
        "libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "ld-linux-x86-64.so.2",
    };
    const std::regex needed(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    const std::regex version(R"(Name: GLIBC_(\d+)\.(\d+)(?:\.(\d+))?\b)");
    for (const Module& module : Modules) {
        const auto dynamic = RunProcess("/usr/bin/readelf", {"-d", BinPath(module.file)});
        ASSERT_EQ(dynamic.status, 0) << dynamic.err;
        for (auto it = std::sregex_iterator(dynamic.out.begin(), dynamic.out.end(), needed);
             it != std::sregex_iterator(); ++it)
            EXPECT_TRUE(libcOwn.count((*it)[1])) << module.file << " needs " << (*it)[1];

        const auto versions = RunProcess("/usr/bin/readelf", {"-V", "--wide", BinPath(module.file)});
        ASSERT_EQ(versions.status, 0) << versions.err;
        ASSERT_NE(versions.out.find("Version needs section"), std::string::npos) << module.file;
        std::tuple<int, int, int> highest{0, 0, 0};
        for (auto it = std::sregex_iterator(versions.out.begin(), versions.out.end(), version);
             it != std::sregex_iterator(); ++it) {
            const auto& match = *it;
            highest = std::max(highest, std::tuple{std::stoi(match[1]), std::stoi(match[2]),
                                                   match[3].matched ? std::stoi(match[3]) : 0});
        }
        EXPECT_LE(highest, std::make_tuple(2, 17, 0))
            << module.file << " needs GLIBC_" << std::get<0>(highest) << "." << std::get<1>(highest);
        EXPECT_GE(highest, std::make_tuple(2, 2, 5)) << module.file << ": no glibc version read";
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
