// ivqa.dll under Wine, called through its import library by a small
// Windows program: the archives it writes open with the Linux `ivqa` and
// with the Windows module, its random bytes look random, and its wipe
// clears read-only files and never follows a link out of the folder.

#include "keyfile_server.h"
#include "module_test_support.h"
#include "payload_builder.h"
#include "process_runner.h"
#include "wine_runner.h"
#include "sample_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string_view>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

ProcessResult RunLibraryDriver(std::vector<std::string> args)
{
    return RunWine(Env("IVQA_WINDOWS_TEST_BIN") + "/library_driver.exe", std::move(args));
}

std::string BinDir()
{
    return Env("IVQA_BIN_DIR");
}

TEST(WindowsLibrary, ExportsExactlyTheElevenUndecoratedNames)
{
    const auto looked = RunLibraryDriver({"exports"});
    EXPECT_EQ(looked.status, 0) << looked.out << looked.err;

    const auto dump = RunProcess(Env("IVQA_MINGW_OBJDUMP"), {"-p", BinDir() + "/ivqa.dll"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    // The name table: one "[ n] NAME" line per export, up to a blank line.
    const std::string_view text(dump.out);
    const auto table = text.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(table, std::string_view::npos) << dump.out;
    std::set<std::string> names;
    for (std::size_t at = text.find('\n', table) + 1; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        const std::size_t bracket = line.find("] ");
        if (bracket == std::string_view::npos)
            break;
        names.emplace(line.substr(bracket + 2));
        at = end + 1;
    }
    const std::set<std::string> expected{"IQ_SDAInit",  "IQ_SDAAddFile", "IQ_SDAAddDir", "IQ_SDAFinal",
                                         "IQ_WipeInit", "IQ_WipeFile",   "IQ_WipeDir",   "IQ_WipeFinal",
                                         "IQ_RmFile",   "IQ_RmDir",      "IQ_RndGetBytes"};
    EXPECT_EQ(names, expected);
}

// Every cipher, with a passphrase outside ASCII, a keyfile and a help text:
// what ivqa.dll wrote behind the real Windows module comes out the same
// through the Linux `ivqa extract` and through the archive run under Wine.
class WindowsLibraryCipher : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(WindowsLibraryCipher, ArchiveOpensWithLinuxAndWindowsReaders)
{
    // The authenticated cipher (5) at its floor key cost: three derivations
    // at the default one would cost seconds.
    if (GetParam() == 5)
        ::setenv("IVQA_KDF_COST", "floor", 1);
    TempDir dir;
    const std::string input = dir / "input";
    MakeSampleTree(input);
    StampTimes(input, 123456700, 1100);
    WriteFile(dir / "key.bin", NoiseBytes(3000, 11));
    WriteFile(dir / "help.txt", "Written by ivqa.dll \xe2\x80\x94 ask Ann.");
    WriteFile(dir / "single.txt", "a file given by itself");
    const std::string archive = dir / "archive.exe";
    fs::copy_file(BinDir() + "/GUI_en.exe.iqm", archive);

    const std::string passphrase = "p\xc3\xa4ss \xd0\xb6";
    const auto created = RunLibraryDriver({"create", WindowsPath(archive), std::to_string(GetParam()), passphrase,
                                           WindowsPath(dir / "key.bin"), WindowsPath(dir / "help.txt"), "7",
                                           "d:" + WindowsPath(input), "f:" + WindowsPath(dir / "single.txt")});
    ASSERT_EQ(created.status, 0) << created.out << created.err;

    const std::string linuxOut = dir / "linux";
    fs::create_directory(linuxOut);
    ProcessOptions typed;
    typed.input = passphrase + "\n";
    const auto linux =
        RunProcess(BinDir() + "/ivqa", {"extract", archive, "--dest", linuxOut, "--keyfile", dir / "key.bin"}, typed);
    ASSERT_EQ(linux.status, 0) << linux.out << linux.err;
    ExpectSameTree(input, linuxOut + "/input");
    EXPECT_EQ(ReadText(linuxOut + "/single.txt"), "a file given by itself");

    const std::string windowsOut = dir / "windows";
    fs::create_directory(windowsOut);
    const auto windows = RunWine(archive, {"--console", "--dest", WindowsPath(windowsOut), "--keyfile",
                                           "file://" + WindowsPath(dir / "key.bin")},
                                 passphrase + "\n");
    ASSERT_EQ(windows.status, 0) << windows.out << windows.err;
    EXPECT_NE(windows.err.find("Written by ivqa.dll \xe2\x80\x94 ask Ann."), std::string::npos) << windows.err;
    ExpectSameTree(input, windowsOut + "/input");
    struct stat info {};
    ASSERT_EQ(::stat((windowsOut + "/input/readonly.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0U) << "the read-only attribute went through";
    ::unsetenv("IVQA_KDF_COST");
}

INSTANTIATE_TEST_SUITE_P(Ciphers, WindowsLibraryCipher, ::testing::Values(0U, 1U, 2U, 3U, 4U, 5U));

// `ivqa create -c xchacha20 --target windows` behind the Russian module:
// the archive run under Wine restores it, and refuses a wrong passphrase.
TEST(WindowsSealedArchive, IvqaCreatesWhatTheWindowsModuleOpens)
{
    ::setenv("IVQA_KDF_COST", "floor", 1);
    TempDir dir;
    const std::string input = dir / "input";
    MakeSampleTree(input);
    StampTimes(input, 123456700, 1100);
    ProcessOptions typed;
    typed.input = "sealed for Windows\n";
    const auto created = RunProcess(BinDir() + "/ivqa", {"create", "-q", "-o", dir / "sealed", "-c", "xchacha20",
                                                         "--module", "ru", "--target", "windows", input},
                                    typed);
    ::unsetenv("IVQA_KDF_COST");
    ASSERT_EQ(created.status, 0) << created.err;
    const std::string archive = dir / "sealed.exe";
    EXPECT_EQ(RunWine(archive, {"--test"}, "not it\n").status, 7);
    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto run = RunWine(archive, {"--console", "--dest", WindowsPath(out)}, "sealed for Windows\n");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ExpectSameTree(input, out + "/input");
}

// The writer records the file system's own attribute word: read-only,
// hidden and system come back through the Windows module (which adds the
// archive bit it always restores).
TEST(WindowsLibrary, AttributeWordIsRecordedAsTheFileSystemHoldsIt)
{
    TempDir dir;
    const std::string input = dir / "input";
    fs::create_directory(input);
    struct Case {
        const char* name;
        const char* set;      // hex, as SetFileAttributesW takes it
        const char* restored; // as GetFileAttributesW reports it afterwards
    };
    const Case cases[] = {{"plain.txt", "20", "20"}, {"hidden.txt", "22", "22"}, {"system.txt", "24", "24"},
                          {"all.txt", "27", "27"}};
    for (const Case& c : cases) {
        WriteFile(input + "/" + c.name, c.name);
        ASSERT_EQ(RunLibraryDriver({"attributes", WindowsPath(input + "/" + c.name), c.set}).status, 0) << c.name;
    }
    const std::string archive = dir / "archive.exe";
    fs::copy_file(BinDir() + "/GUI_en.exe.iqm", archive);
    ASSERT_EQ(RunLibraryDriver({"create", WindowsPath(archive), "2", "attr", "", "-", "1", "d:" + WindowsPath(input)})
                  .status,
              0);
    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto extracted = RunWine(archive, {"--console", "--dest", WindowsPath(out)}, "attr\n");
    ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
    for (const Case& c : cases) {
        const auto shown = RunLibraryDriver({"attributes", WindowsPath(out + "/input/" + c.name)});
        EXPECT_EQ(shown.out, std::string("attributes: ") + c.restored + "\n") << c.name;
    }
}

// A keyfile fetched through WinINet when the archive is written is the one
// libcurl fetches when it is read; a keyfile server that cannot deliver
// fails the creation with the keyfile error, leaving no payload behind.
TEST(WindowsLibrary, RemoteKeyfileOverHttp)
{
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "all_proxy"})
        ::unsetenv(proxy);
    KeyfileServer server(NoiseBytes(5000, 21));
    TempDir dir;
    WriteFile(dir / "data.txt", "keyed remotely");
    struct Case {
        std::string keyfile;
        int status;
    };
    for (const Case& c : {Case{server.Url("/key.bin"), 0}, Case{server.Url("/gone"), 2}}) {
        const std::string archive = dir / "archive.exe";
        fs::copy_file(BinDir() + "/GUI_en.exe.iqm", archive, fs::copy_options::overwrite_existing);
        const auto created = RunLibraryDriver({"create", WindowsPath(archive), "1", "", c.keyfile, "-", "6",
                                               "f:" + WindowsPath(dir / "data.txt")});
        EXPECT_EQ(created.status, c.status) << c.keyfile << "\n" << created.out;
        if (c.status != 0)
            continue;
        const std::string out = dir / "out";
        fs::create_directory(out);
        ProcessOptions typed;
        typed.input = "\n";
        const auto read = RunProcess(BinDir() + "/ivqa", {"extract", archive, "--dest", out, "--keyfile", c.keyfile}, typed);
        ASSERT_EQ(read.status, 0) << read.out << read.err;
        EXPECT_EQ(ReadText(out + "/data.txt"), "keyed remotely");
    }
}

// Paths beyond the 260 units of a plain Win32 path: a tree this deep is
// archived whole, and wiped whole.
TEST(WindowsLibrary, TreeDeeperThanMaxPathIsArchivedAndWiped)
{
    TempDir dir;
    const std::string top = dir / "long";
    std::string deepest = top;
    for (int level = 0; level < 8; ++level)
        deepest += "/" + std::string(40, static_cast<char>('a' + level));
    fs::create_directories(deepest);
    WriteFile(deepest + "/far.txt", "found at the bottom");
    ASSERT_GT(WindowsPath(deepest + "/far.txt").size(), 300U);
    const std::string archive = dir / "archive.exe";
    fs::copy_file(BinDir() + "/GUI_en.exe.iqm", archive);

    const auto created = RunLibraryDriver({"create", WindowsPath(archive), "0", "deep", "", "-", "6", "d:" + WindowsPath(top)});
    ASSERT_EQ(created.status, 0) << created.out;
    const std::string out = dir / "out";
    fs::create_directory(out);
    ProcessOptions typed;
    typed.input = "deep\n";
    const auto read = RunProcess(BinDir() + "/ivqa", {"extract", archive, "--dest", out}, typed);
    ASSERT_EQ(read.status, 0) << read.out << read.err;
    EXPECT_EQ(ReadText(out + deepest.substr(dir.Path().size()) + "/far.txt"), "found at the bottom");

    const auto wiped = RunLibraryDriver({"wipe-dir", WindowsPath(top), "no"});
    EXPECT_EQ(wiped.status, 0) << wiped.out;
    EXPECT_FALSE(fs::exists(top));
}

// The chi-square of the byte counts over 255 degrees of freedom stays below
// 330 (p about 0.001) for a working generator; two loads of the library
// share no 16-byte piece of output.
TEST(WindowsLibrary, RandomBytesOfTwoLoadsPassTheChiSquareAndDiffer)
{
    TempDir dir;
    std::vector<std::vector<std::uint8_t>> outputs;
    for (const char* name : {"first.bin", "second.bin"}) {
        const auto result = RunLibraryDriver({"random", "1048576", WindowsPath(dir / name)});
        ASSERT_EQ(result.status, 0) << result.err;
        outputs.push_back(ReadFile(dir / name));
        ASSERT_EQ(outputs.back().size(), 1048576U);
    }
    for (const auto& bytes : outputs) {
        std::array<double, 256> counts{};
        for (const std::uint8_t byte : bytes)
            ++counts[byte];
        const double expected = static_cast<double>(bytes.size()) / 256.0;
        double chiSquare = 0;
        for (const double count : counts)
            chiSquare += (count - expected) * (count - expected) / expected;
        EXPECT_LT(chiSquare, 330.0);
    }
    std::set<std::string_view> pieces;
    const auto piece = [](const std::vector<std::uint8_t>& bytes, std::size_t at) {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()) + at, 16);
    };
    for (std::size_t at = 0; at < outputs[0].size(); at += 16)
        pieces.insert(piece(outputs[0], at));
    for (std::size_t at = 0; at < outputs[1].size(); at += 16)
        ASSERT_EQ(pieces.count(piece(outputs[1], at)), 0U) << "a repeat at " << at;
}

// A wipe clears the read-only attribute first; a plain delete does not and
// leaves the file to the skip question. A folder is no file to either.
TEST(WindowsLibrary, ReadOnlyFileIsWipedButNotDeleted)
{
    TempDir dir;
    struct Case {
        const char* command;
        const char* skip;
        int status;
        bool remains;
    };
    for (const Case& c : {Case{"wipe-file", "no", 0, false}, Case{"rm-file", "no", 4, true},
                          Case{"rm-file", "yes", 0, true}}) {
        const std::string file = dir / "locked.txt";
        WriteFile(file, "read-only secret");
        ::chmod(file.c_str(), 0444);
        const auto result = RunLibraryDriver({c.command, WindowsPath(file), c.skip});
        EXPECT_EQ(result.status, c.status) << c.command << " " << c.skip << "\n" << result.out;
        EXPECT_EQ(fs::exists(file), c.remains) << c.command;
        if (c.remains) {
            EXPECT_EQ(ReadText(file), "read-only secret");
        }
        ::unlink(file.c_str());
    }
    const std::string folder = dir / "folder";
    fs::create_directory(folder);
    for (const char* command : {"wipe-file", "rm-file"}) {
        EXPECT_EQ(RunLibraryDriver({command, WindowsPath(folder), "no"}).status, 4) << command;
        EXPECT_TRUE(fs::is_directory(folder)) << command;
    }
}

// A folder holding a read-only file, a nested folder and a link to a folder
// outside it (the junction Wine stores as a symbolic link): everything of
// the folder's own goes, the link is not followed, and what it leads to
// keeps every byte.
TEST(WindowsLibrary, WipedFolderLeavesTheTargetOfItsLinkAlone)
{
    TempDir dir;
    const std::string target = dir / "target";
    fs::create_directories(target + "/deep");
    WriteFile(target + "/keep.txt", "must survive");
    WriteFile(target + "/deep/also.txt", "this too");
    const std::string victim = dir / "victim";
    fs::create_directories(victim + "/inner/deeper");
    WriteFile(victim + "/inner/deeper/gone.txt", "wiped");
    WriteFile(victim + "/readonly.txt", "wiped too");
    ::chmod((victim + "/readonly.txt").c_str(), 0444);
    fs::create_directory_symlink(target, victim + "/junction");

    for (const char* command : {"wipe-dir", "rm-dir"}) {
        const auto result = RunLibraryDriver({command, WindowsPath(victim), "yes"});
        EXPECT_EQ(result.status, 0) << command << "\n" << result.out;
        EXPECT_EQ(result.out.find("name: keep.txt"), std::string::npos) << command << " entered the link";
        EXPECT_EQ(ReadText(target + "/keep.txt"), "must survive");
        EXPECT_EQ(ReadText(target + "/deep/also.txt"), "this too");
        EXPECT_FALSE(fs::exists(victim + "/inner"));
        EXPECT_FALSE(fs::exists(victim + "/readonly.txt"));
        // Re-made for the delete run.
        fs::create_directories(victim + "/inner/deeper");
        WriteFile(victim + "/inner/deeper/gone.txt", "deleted");
    }
}

// What a Windows user unpacks: the library, its import library and header,
// the four modules and a README with Windows line ends.
TEST(WindowsLibrary, DistributionZipHoldsTheLibraryAndModules)
{
    const std::string zip = BinDir() + "/../dist/ivqa-2.50-windows-x86_64.zip";
    const auto listed = RunProcess("/usr/bin/python3",
                                   {"-c", "import sys, zipfile\n"
                                          "z = zipfile.ZipFile(sys.argv[1])\n"
                                          "print(' '.join(sorted(z.namelist())))\n"
                                          "t = z.read('README.txt')\n"
                                          "print(t.count(b'\\n'), t.count(b'\\r\\n'))\n",
                                    zip});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const std::size_t lineEnd = listed.out.find('\n');
    EXPECT_EQ(listed.out.substr(0, lineEnd),
              "GUI_en.exe.iqm GUI_en.iqm GUI_ru.exe.iqm GUI_ru.iqm README.txt ivqa.dll ivqa.exe ivqa.h ivqa.lib");
    std::istringstream counts(listed.out.substr(lineEnd + 1));
    int lineFeeds = 0;
    int crLfs = -1;
    counts >> lineFeeds >> crLfs;
    EXPECT_GT(lineFeeds, 10);
    EXPECT_EQ(crLfs, lineFeeds) << "every line of the README ends in CR LF";
}

} // namespace
