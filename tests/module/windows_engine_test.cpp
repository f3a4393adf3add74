// The Windows build of the engine under Wine: archives written by libivqa
// on Linux come out byte for byte through the Win32 backend, and hostile
// names are refused without a byte written outside the destination.

#include "core/archive_format.h"
#include "ivqa.h"
#include "keyfile_server.h"
#include "module_test_support.h"
#include "sample_tree.h"
#include "payload_builder.h"
#include "process_runner.h"
#include "wine_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1048576;
// The driver reads the payload behind a module file of any length.
constexpr std::size_t ModuleLength = 4096;

ProcessResult RunDriver(const std::string& archive, std::vector<std::string> options, const std::string& input)
{
    std::vector<std::string> args{WindowsPath(archive), std::to_string(ModuleLength)};
    args.insert(args.end(), options.begin(), options.end());
    return RunWine(Env("IVQA_WINDOWS_TEST_BIN") + "/extract_driver.exe", args, input);
}

// `module` (zeros when empty) with the library's payload behind it.
void WriteArchive(const std::string& path, const std::string& module, std::uint32_t cipher,
                  const std::u16string& passphrase, const std::u16string& keyfile,
                  const std::vector<std::string>& dirs, const std::vector<std::string>& files)
{
    if (module.empty())
        WriteFile(path, std::vector<std::uint8_t>(ModuleLength, 0));
    else
        fs::copy_file(module, path, fs::copy_options::overwrite_existing);
    SdaContext* context = nullptr;
    const std::u16string archive = U16(path);
    ASSERT_EQ(IQ_SDAInit(&context, archive.c_str(), OrNull(passphrase), OrNull(keyfile), cipher,
                         u"Help from Linux.", nullptr, nullptr, nullptr, nullptr),
              IQ_OK);
    for (const std::string& dir : dirs)
        EXPECT_EQ(IQ_SDAAddDir(context, U16(dir).c_str(), 6), IQ_OK) << dir;
    for (const std::string& file : files)
        EXPECT_EQ(IQ_SDAAddFile(context, U16(file).c_str(), 6), IQ_OK) << file;
    IQ_SDAFinal(context);
}

// Every shape of entry: nested and empty folders, an empty file, block
// boundaries, a name outside ASCII, a read-only file.
std::string MakeInput(const TempDir& dir)
{
    const std::string input = dir / "input";
    MakeSampleTree(input);
    StampTimes(input, 123456700, 1100);
    return input;
}

// As ExpectSameTree(), and the read-only attribute came back.
void ExpectSameTreeAndAttributes(const std::string& source, const std::string& extracted)
{
    ExpectSameTree(source, extracted);
    struct stat info {};
    ASSERT_EQ(::stat((extracted + "/readonly.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0U) << "the read-only attribute";
}

class EveryCipher : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(EveryCipher, ExtractsWhatLinuxArchived)
{
    TempDir dir;
    const std::string input = MakeInput(dir);
    const std::string archive = dir / "archive.bin";
    WriteArchive(archive, "", GetParam(), u"p\u00e4ssw\u00f6rd", u"", {input}, {});

    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto result = RunDriver(archive, {"--dest", WindowsPath(out)}, "p\xc3\xa4ssw\xc3\xb6rd\n");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    // Not a terminal: the banner and help go to standard error.
    EXPECT_TRUE(result.err.ends_with("\nHelp from Linux.\n")) << result.err;
    EXPECT_EQ(result.out.rfind("Extracting archive contents:\n input\n", 0), 0U) << result.out;
    EXPECT_TRUE(result.out.ends_with("\nDone!\n")) << result.out;
    ExpectSameTreeAndAttributes(input, out + "/input");
}

INSTANTIATE_TEST_SUITE_P(Ciphers, EveryCipher, ::testing::Values(0U, 1U, 2U, 3U, 4U));

// The writer's floor key cost while it lives: the sweeps below would
// otherwise spend a second a guess.
class FloorKeyCost {
public:
    FloorKeyCost() { ::setenv("IVQA_KDF_COST", "floor", 1); }
    FloorKeyCost(const FloorKeyCost&) = delete;
    FloorKeyCost& operator=(const FloorKeyCost&) = delete;
    ~FloorKeyCost() { ::unsetenv("IVQA_KDF_COST"); }
};

struct SealedKeyInput {
    const char* name;
    std::u16string passphrase;
    std::string typed;
    bool keyfile;
    const char* module;
};

class SealedKeyInputs : public ::testing::TestWithParam<SealedKeyInput> {};

// The authenticated cipher written on Linux comes back through either
// language's Windows module with every kind of key input; a wrong one is
// told apart from damage.
TEST_P(SealedKeyInputs, WindowsModuleRestoresWhatLinuxSealed)
{
    const SealedKeyInput& key = GetParam();
    const FloorKeyCost floor;
    TempDir dir;
    const std::string input = MakeInput(dir);
    WriteFile(dir / "key.bin", NoiseBytes(3000, 5));
    const std::string archive = dir / "archive.exe";
    WriteArchive(archive, Env("IVQA_BIN_DIR") + "/" + key.module, CipherXChaCha20Poly1305, key.passphrase,
                 key.keyfile ? U16(dir / "key.bin") : u"", {input}, {});
    std::vector<std::string> keyArgs;
    if (key.keyfile)
        keyArgs = {"--keyfile", WindowsPath(dir / "key.bin")};

    const std::string out = dir / "out";
    fs::create_directory(out);
    std::vector<std::string> extractArgs = {"--dest", WindowsPath(out)};
    extractArgs.insert(extractArgs.end(), keyArgs.begin(), keyArgs.end());
    const auto result = RunWine(archive, extractArgs, key.typed + "\n");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.err.find("Help from Linux."), std::string::npos) << result.err;
    ExpectSameTreeAndAttributes(input, out + "/input");

    std::vector<std::string> testArgs = {"--test"};
    testArgs.insert(testArgs.end(), keyArgs.begin(), keyArgs.end());
    EXPECT_EQ(RunWine(archive, testArgs, "not the passphrase\n").status, 7);
}

INSTANTIATE_TEST_SUITE_P(
    KeyInputs, SealedKeyInputs,
    ::testing::Values(SealedKeyInput{"passphrase", u"p\u00e4ssw\u00f6rd", "p\xc3\xa4ssw\xc3\xb6rd", false, "GUI_en.exe.iqm"},
                      SealedKeyInput{"keyfile", u"", "", true, "GUI_ru.exe.iqm"},
                      SealedKeyInput{"both", u"and a keyfile", "and a keyfile", true, "GUI_en.exe.iqm"}),
    [](const auto& info) { return std::string(info.param.name); });

// Argon2id at the writer's default cost (256 MiB) gives the Windows build
// the key it gave Linux: the key check and every message agree.
TEST(SealedDefaultCost, WindowsDerivesTheKeyLinuxDerived)
{
    ::unsetenv("IVQA_KDF_COST");
    TempDir dir;
    WriteFile(dir / "data.txt", "sealed at the full cost");
    const std::string archive = dir / "archive.exe";
    WriteArchive(archive, Env("IVQA_BIN_DIR") + "/GUI_en.exe.iqm", CipherXChaCha20Poly1305, u"right", u"", {},
                 {dir / "data.txt"});
    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto result = RunWine(archive, {"--dest", WindowsPath(out)}, "right\n");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadText(out + "/data.txt"), "sealed at the full cost");
}

// What carrying the archive may do to it, each found by the Win32 engine
// before any byte of the changed message is written: the file spans three
// messages, so a damaged one leaves no file at all.
TEST(SealedDamage, ChangedOrCutArchivesAreRefused)
{
    const FloorKeyCost floor;
    TempDir dir;
    WriteFile(dir / "data.bin", NoiseBytes(2 * MiB + 5000, 9));
    const std::string sealed = dir / "sealed.bin";
    WriteArchive(sealed, "", CipherXChaCha20Poly1305, u"p", u"", {}, {dir / "data.bin"});
    const std::vector<std::uint8_t> whole = ReadFile(sealed);
    // The last message is the empty final one: its length field and tag.
    constexpr std::size_t FinalMessage = SealedMessageLengthSize + SealedTagLength;

    struct Case {
        const char* label;
        std::function<void(std::vector<std::uint8_t>&)> change;
        int status;
        bool fileKept;
    };
    const auto flip = [](std::size_t at) { return [at](std::vector<std::uint8_t>& b) { b[at] ^= 0x20; }; };
    // The plain header follows the help length and the UTF-16 help text.
    const std::size_t header = ModuleLength + 2 + 2 * std::size_t{LoadLe16(whole.data() + ModuleLength)};
    const auto cost = [header](std::size_t field, std::uint32_t value) {
        return [=](std::vector<std::uint8_t>& b) { StoreLe32(b.data() + header + field, value); };
    };
    const Case cases[] = {
        {"a help text character", flip(ModuleLength + 2), 8, false},
        {"passes above the cap", cost(SealedOpsLimitOffset, 17), 8, false},
        {"memory above the cap", cost(SealedMemoryKiBOffset, 2097153), 8, false},
        {"a byte of the second block", flip(whole.size() / 2), 8, false},
        {"the final message's tag", flip(whole.size() - 1), 8, true},
        {"cut before the final message", [&](auto& b) { b.resize(b.size() - FinalMessage); }, 4, true},
        {"cut inside the second block", [&](auto& b) { b.resize(b.size() / 2); }, 4, false},
        {"a byte after the final message", [](auto& b) { b.push_back(0); }, 8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> bytes = whole;
        c.change(bytes);
        const std::string archive = dir / "changed.bin";
        WriteFile(archive, bytes);
        const std::string out = dir / "out";
        fs::remove_all(out);
        fs::create_directory(out);
        const auto result = RunDriver(archive, {"--dest", WindowsPath(out)}, "p\n");
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        // A file appears only once all its blocks are authenticated.
        if (c.fileKept)
            EXPECT_EQ(ReadFile(out + "/data.bin"), ReadFile(dir / "data.bin"));
        else
            EXPECT_TRUE(fs::is_empty(out)) << ListTree(out).size();
    }
}

// The chooser writes "file://" and a drive path with backslashes; a plain
// path and the URL form do as well. A wrong keyfile is a wrong key, a
// missing one or a folder cannot be read.
TEST(WindowsKeyfiles, LocalKeyfileAsTheChooserWritesIt)
{
    TempDir dir;
    WriteFile(dir / "data.txt", "guarded");
    WriteFile(dir / "key.bin", NoiseBytes(3 * 1024, 7)); // ends with an empty read
    WriteFile(dir / "other.bin", NoiseBytes(3 * 1024, 8));
    const std::string archive = dir / "archive.bin";
    WriteArchive(archive, "", CipherRc4, u"and a passphrase", U16(dir / "key.bin"), {}, {dir / "data.txt"});
    const std::string out = dir / "out";
    fs::create_directory(out);

    struct Case {
        std::string keyfile;
        int status;
    };
    std::string url = "file:///" + WindowsPath(dir / "key.bin");
    std::replace(url.begin(), url.end(), '\\', '/');
    for (const Case& c : {Case{"file://" + WindowsPath(dir / "key.bin"), 0}, Case{WindowsPath(dir / "key.bin"), 0},
                          Case{url, 0},
                          Case{"file://" + WindowsPath(dir / "other.bin"), 7},
                          Case{"file://" + WindowsPath(dir / "absent.bin"), 3},
                          Case{"file://" + WindowsPath(dir.Path()), 3}}) {
        const auto result = RunDriver(archive, {"--dest", WindowsPath(out), "--keyfile", c.keyfile, "--overwrite",
                                                "always"},
                                      "and a passphrase\n");
        EXPECT_EQ(result.status, c.status) << c.keyfile << "\n" << result.err;
    }
    EXPECT_EQ(ReadText(out + "/data.txt"), "guarded");
}

// Through WinINet: the whole keyfile from a server on this machine; an
// error page is no keyfile, and a transfer cut short is a failed read.
TEST(WindowsKeyfiles, RemoteKeyfileOverHttp)
{
    // The system's proxy settings apply; none of them may catch 127.0.0.1.
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "all_proxy"})
        ::unsetenv(proxy);
    const std::vector<std::uint8_t> key = NoiseBytes(5000, 9);
    KeyfileServer server(key);
    KeyfileServer cut(key, 3000);
    TempDir dir;
    WriteFile(dir / "data.txt", "fetched");
    const std::string archive = dir / "archive.bin";
    WriteArchive(archive, "", CipherCast256, u"", U16(server.Url("/key.bin")), {}, {dir / "data.txt"});
    const std::string out = dir / "out";
    fs::create_directory(out);

    struct Case {
        std::string url;
        int status;
    };
    for (const Case& c : {Case{server.Url("/key.bin"), 0}, Case{server.Url("/gone"), 3}, Case{cut.Url("/key.bin"), 3}}) {
        const auto result =
            RunDriver(archive, {"--dest", WindowsPath(out), "--keyfile", c.url, "--overwrite", "always"}, "\n");
        EXPECT_EQ(result.status, c.status) << c.url << "\n" << result.err;
    }
    EXPECT_EQ(ReadText(out + "/data.txt"), "fetched");
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

struct HostileName {
    const char* label;
    std::function<void(PayloadBuilder&)> build;
    int status; // 0: mapped and extracted, 8: corrupted
    // What the destination holds afterwards.
    std::vector<std::string> destination;
};

// A name Windows cannot hold is mapped to one it can: each refused
// character (and a lone surrogate) becomes '_', so does a trailing dot or
// blank, and a device name gets a leading '_'; the log shows the name as
// written. Empty, "." and ".." stay damage, and nothing ever lands outside
// the destination, which lies two levels down so that an escape of one or
// two levels would show.
TEST(WindowsHostileNames, AreMappedOrRefusedAndStayInside)
{
    const HostileName cases[] = {
        {"file named ..", [](PayloadBuilder& b) { b.File(u"..", Bytes("x")); }, 8, {}},
        {"file named .", [](PayloadBuilder& b) { b.File(u".", Bytes("x")); }, 8, {}},
        {"empty file name", [](PayloadBuilder& b) { b.File(u"", Bytes("x")); }, 8, {}},
        {"directory named ..", [](PayloadBuilder& b) { b.EnterDir(u"..").File(u"f", Bytes("x")); }, 8, {}},
        {"leave record at the top",
         [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).LeaveDir().File(u"up", Bytes("2")); }, 8, {"first"}},
        {"one leave record too many",
         [](PayloadBuilder& b) { b.EnterDir(u"d").LeaveDir().LeaveDir().File(u"up", Bytes("2")); }, 8, {"d/"}},
        {"question mark, colon, trailing dot, then a later entry",
         [](PayloadBuilder& b) {
             b.File(u"what?.txt", Bytes("1")).File(u"x:y.txt", Bytes("2")).File(u"trail.", Bytes("3"));
             b.File(u"later", Bytes("4"));
         },
         0, {"later", "trail_", "what_.txt", "x_y.txt"}},
        {"backslash", [](PayloadBuilder& b) { b.File(u"a\\b", Bytes("x")); }, 0, {"a_b"}},
        {"backslash climbing", [](PayloadBuilder& b) { b.File(u"..\\..\\escape", Bytes("x")); }, 0,
         {".._.._escape"}},
        {"slash", [](PayloadBuilder& b) { b.File(u"../escape", Bytes("x")); }, 0, {".._escape"}},
        {"drive root as a folder", [](PayloadBuilder& b) { b.EnterDir(u"Z:\\tmp").File(u"f", Bytes("x")).LeaveDir(); },
         0, {"Z__tmp/", "Z__tmp/f"}},
        {"data stream", [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).File(u"first:hidden", Bytes("2")); }, 0,
         {"first", "first_hidden"}},
        {"trailing blank on a folder", [](PayloadBuilder& b) { b.EnterDir(u".. ").File(u"f", Bytes("x")).LeaveDir(); },
         0, {".._/", ".._/f"}},
        {"control characters and the rest of the refused set",
         [](PayloadBuilder& b) { b.File(u"\x01<a>|\"*\x1f", Bytes("x")); }, 0, {"__a_____"}},
        {"lone surrogates, a pair kept",
         [](PayloadBuilder& b) { b.File(u"a\xD800" u"b\xDC00" u"c\U0001F600", Bytes("x")); }, 0,
         {"a_b_c\U0001F600"}},
        {"device names with and without an extension",
         [](PayloadBuilder& b) {
             b.File(u"con.txt", Bytes("1")).File(u"NUL", Bytes("2")).EnterDir(u"Com1").LeaveDir();
             b.File(u"lpt9.log.bak", Bytes("3")).File(u"com0", Bytes("4")).File(u"console", Bytes("5"));
         },
         0, {"_Com1/", "_NUL", "_con.txt", "_lpt9.log.bak", "com0", "console"}},
    };
    for (const HostileName& c : cases) {
        SCOPED_TRACE(c.label);
        PayloadBuilder builder(CipherAes256, u"p");
        c.build(builder);
        TempDir scratch;
        const std::string archive = scratch / "archive.bin";
        std::vector<std::uint8_t> bytes(ModuleLength + builder.Size(), 0);
        std::copy(builder.Bytes().begin(), builder.Bytes().end(), bytes.begin() + ModuleLength);
        WriteFile(archive, bytes);
        const std::string destination = scratch / "a/out";
        fs::create_directories(destination);

        const auto result = RunDriver(archive, {"--dest", WindowsPath(destination)}, "p\n");
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        // Not a terminal: the banner (no help here) leads standard error.
        const std::size_t bannerEnd = result.err.find("\n\n");
        ASSERT_NE(bannerEnd, std::string::npos) << result.err;
        EXPECT_EQ(result.err.substr(bannerEnd + 2), c.status == 0 ? "" : "Archive is corrupted!\n");
        EXPECT_EQ(ListTree(destination), c.destination);
        std::vector<std::string> expectedScratch{"a/", "a/out/", "archive.bin"};
        for (const std::string& entry : c.destination)
            expectedScratch.push_back("a/out/" + entry);
        std::sort(expectedScratch.begin(), expectedScratch.end());
        EXPECT_EQ(ListTree(scratch.Path()), expectedScratch);
        if (c.status == 0) {
            for (std::string entry : c.destination) {
                if (entry.ends_with('/'))
                    entry.pop_back();
                const std::string shown = entry.substr(entry.rfind('/') + 1);
                EXPECT_NE(result.out.find("\n " + shown + "\n"), std::string::npos) << shown << "\n" << result.out;
            }
        }
    }
}

// The delivered module with a payload behind it: its console mode finds
// its own file and lists, tests and extracts; a second extraction asks
// nothing when told to keep what exists.
TEST(WindowsModuleConsole, ListsTestsAndExtractsItsOwnPayload)
{
    TempDir dir;
    WriteFile(dir / "data.txt", "from the real module");
    const std::string archive = dir / "archive.exe";
    WriteArchive(archive, Env("IVQA_BIN_DIR") + "/GUI_en.exe.iqm", CipherBlowfish, u"right", u"", {},
                 {dir / "data.txt"});

    const auto list = RunWine(archive, {"--list"}, "right\n");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("          20 "), std::string::npos) << list.out;
    EXPECT_TRUE(list.out.ends_with(" data.txt\n")) << list.out;

    EXPECT_EQ(RunWine(archive, {"--test"}, "wrong\n").status, 7);
    EXPECT_EQ(RunWine(archive, {"--test"}, "right\n").status, 0);

    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto extract = RunWine(archive, {"--dest", WindowsPath(out)}, "right\n");
    ASSERT_EQ(extract.status, 0) << extract.err;
    EXPECT_EQ(ReadText(out + "/data.txt"), "from the real module");
}

struct ExistingEntryCase {
    const char* label;
    std::function<void(const std::string& destination)> prepare;
    std::vector<std::string> options;
    int status;
    // Relative path and expected contents afterwards.
    std::vector<std::pair<std::string, std::string>> contents;
};

// What the destination already holds meets the archive's "d/" with
// "d/f" = "new" and then "top" = "top".
TEST(WindowsExistingEntries, ReplaceKeepOrRefuse)
{
    const ExistingEntryCase cases[] = {
        {"read-only file replaced",
         [](const std::string& d) {
             fs::create_directory(d + "/d");
             WriteFile(d + "/d/f", "old");
             ::chmod((d + "/d/f").c_str(), 0444);
         },
         {"--overwrite", "always"}, 0, {{"d/f", "new"}, {"top", "top"}}},
        {"file kept",
         [](const std::string& d) {
             fs::create_directory(d + "/d");
             WriteFile(d + "/d/f", "old");
         },
         {"--overwrite", "never"}, 0, {{"d/f", "old"}, {"top", "top"}}},
        {"file where the folder goes", [](const std::string& d) { WriteFile(d + "/d", "a file"); },
         {"--overwrite", "always"}, 6, {{"d", "a file"}}},
        {"folder where a file goes",
         [](const std::string& d) {
             fs::create_directories(d + "/d/f");
             WriteFile(d + "/d/f/inner", "inner");
         },
         {"--overwrite", "always"}, 5, {{"d/f/inner", "inner"}}},
    };
    for (const ExistingEntryCase& c : cases) {
        SCOPED_TRACE(c.label);
        PayloadBuilder builder(CipherRc5, u"p");
        builder.EnterDir(u"d").File(u"f", Bytes("new")).LeaveDir().File(u"top", Bytes("top"));
        TempDir scratch;
        const std::string archive = scratch / "archive.bin";
        std::vector<std::uint8_t> bytes(ModuleLength + builder.Size(), 0);
        std::copy(builder.Bytes().begin(), builder.Bytes().end(), bytes.begin() + ModuleLength);
        WriteFile(archive, bytes);
        const std::string destination = scratch / "out";
        fs::create_directory(destination);
        c.prepare(destination);

        std::vector<std::string> options{"--dest", WindowsPath(destination)};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const auto result = RunDriver(archive, options, "p\n");
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        for (const auto& [path, text] : c.contents)
            EXPECT_EQ(ReadText(destination + "/" + path), text) << path;
    }
}

// A damaged block or a cut inside a file of several blocks: the file the
// run stood in is removed, the earlier version of it stays as it was, and
// no temporary file is left.
TEST(WindowsUnfinishedFiles, DamageOrCutLeavesTheEarlierVersion)
{
    const auto data = TextBytes(3 * MiB, 31);
    const std::vector<std::uint8_t> first(data.begin(), data.begin() + MiB);
    const std::vector<std::uint8_t> second(data.begin() + MiB, data.begin() + 2 * MiB);
    const std::vector<std::uint8_t> third(data.begin() + 2 * MiB, data.end());
    for (const bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "damaged block" : "cut");
        PayloadBuilder builder(CipherAes256, u"p");
        PayloadBuilder::FileFields fields;
        fields.name = u"big";
        fields.size = data.size();
        fields.blockCount = 3;
        builder.FileRecord(fields)
            .Block(Crc32Of(first), Deflate(first, 6))
            .Block(Crc32Of(second) + (damaged ? 1 : 0), Deflate(second, 6));
        const std::size_t cut = builder.Size();
        builder.Block(Crc32Of(third), Deflate(third, 6));
        TempDir scratch;
        const std::string archive = scratch / "archive.bin";
        const std::size_t length = damaged ? builder.Size() : cut - 5;
        std::vector<std::uint8_t> bytes(ModuleLength + length, 0);
        std::copy_n(builder.Bytes().begin(), length, bytes.begin() + ModuleLength);
        WriteFile(archive, bytes);
        const std::string destination = scratch / "out";
        fs::create_directory(destination);
        WriteFile(destination + "/big", "earlier version");

        const auto result = RunDriver(archive, {"--dest", WindowsPath(destination), "--overwrite", "always"}, "p\n");
        EXPECT_EQ(result.status, damaged ? 8 : 4) << result.out << result.err;
        EXPECT_NE(result.out.find("\nLeft incomplete and removed: big\n"), std::string::npos) << result.out;
        EXPECT_EQ(ListTree(destination), std::vector<std::string>{"big"});
        EXPECT_EQ(ReadText(destination + "/big"), "earlier version");
    }
}

// The key is checked before the destination is looked at.
TEST(WindowsDestination, KeyCheckComesFirst)
{
    PayloadBuilder builder(CipherAes256, u"right");
    builder.File(u"f", Bytes("x"));
    TempDir scratch;
    const std::string archive = scratch / "archive.bin";
    std::vector<std::uint8_t> bytes(ModuleLength + builder.Size(), 0);
    std::copy(builder.Bytes().begin(), builder.Bytes().end(), bytes.begin() + ModuleLength);
    WriteFile(archive, bytes);
    const std::string missing = WindowsPath(scratch / "missing");
    EXPECT_EQ(RunDriver(archive, {"--dest", missing}, "wrong\n").status, 7);
    EXPECT_EQ(RunDriver(archive, {"--dest", missing}, "right\n").status, 6);
    EXPECT_EQ(RunDriver(archive, {"--dest", WindowsPath(archive)}, "right\n").status, 6) << "a file";
    EXPECT_FALSE(fs::exists(scratch / "missing"));
}

// A drive's root as the destination: entry paths are the root's path and
// the name, without a doubled separator. The drive is a folder of ours,
// mapped in the prefix for the length of the test.
TEST(WindowsDestination, DriveRoot)
{
    PayloadBuilder builder(CipherAes256, u"p");
    builder.EnterDir(u"d").File(u"f", Bytes("at the root")).LeaveDir();
    TempDir scratch;
    const std::string archive = scratch / "archive.bin";
    std::vector<std::uint8_t> bytes(ModuleLength + builder.Size(), 0);
    std::copy(builder.Bytes().begin(), builder.Bytes().end(), bytes.begin() + ModuleLength);
    WriteFile(archive, bytes);
    const std::string drive = scratch / "drive";
    fs::create_directory(drive);
    const std::string mapping = Env("WINEPREFIX") + "/dosdevices/y:";
    fs::remove(mapping);
    fs::create_directory_symlink(drive, mapping);

    const auto result = RunDriver(archive, {"--dest", "Y:\\"}, "p\n");
    fs::remove(mapping);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadText(drive + "/d/f"), "at the root");
}

struct WindowsModule {
    const char* file;
    std::uintmax_t payloadOffset;
};

// Padded to their offsets; programs of the window subsystem that need
// nothing but DLLs every Windows has (no MinGW runtime, no zlib DLL).
TEST(WindowsModuleFiles, ArePaddedWindowProgramsOverSystemDllsOnly)
{
    static_assert(IVQA_PAYLOAD_OFFSET_WIN_EN % 4096 == 0 && IVQA_PAYLOAD_OFFSET_WIN_RU % 4096 == 0);
    static_assert(IVQA_PAYLOAD_OFFSET_WIN_RU > IVQA_PAYLOAD_OFFSET_WIN_EN);
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                                          "ole32.dll", "comdlg32.dll", "wininet.dll", "msvcrt.dll"};
    const std::regex dll(R"(DLL Name: (\S+))");
    for (const WindowsModule& module : {WindowsModule{"GUI_en.exe.iqm", IVQA_PAYLOAD_OFFSET_WIN_EN},
                                        WindowsModule{"GUI_ru.exe.iqm", IVQA_PAYLOAD_OFFSET_WIN_RU}}) {
        const std::string path = Env("IVQA_BIN_DIR") + "/" + module.file;
        EXPECT_EQ(fs::file_size(path), module.payloadOffset) << module.file;
        const auto dump = RunProcess(Env("IVQA_MINGW_OBJDUMP"), {"-p", path});
        ASSERT_EQ(dump.status, 0) << dump.err;
        EXPECT_NE(dump.out.find("(PE32+)"), std::string::npos) << module.file;
        EXPECT_NE(dump.out.find("(Windows GUI)"), std::string::npos) << module.file;
        std::set<std::string> imported;
        for (auto it = std::sregex_iterator(dump.out.begin(), dump.out.end(), dll); it != std::sregex_iterator(); ++it) {
            std::string name = (*it)[1];
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            imported.insert(name);
        }
        EXPECT_TRUE(imported.count("kernel32.dll")) << module.file;
        for (const std::string& name : imported)
            EXPECT_TRUE(system.count(name)) << module.file << " imports " << name;
    }
}

} // namespace
