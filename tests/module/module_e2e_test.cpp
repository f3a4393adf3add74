// Archives written through libivqa behind a copy of the real module, then
// extracted by running that copy in console mode, as a recipient would.

#include "ivqa.h"
#include "keyfile_server.h"
#include "module_test_support.h"
#include "sample_tree.h"
#include "payload_builder.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1048576;

std::string BinPath(const std::string& name)
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/" + name;
}

struct ArchivePlan {
    std::uint32_t cipher = 0;
    std::u16string passphrase;
    std::u16string keyfile;
    std::u16string help;
    int level = 6;
    std::string module = "GUI_en.iqm";
    std::vector<std::string> dirs;
    std::vector<std::string> files;
};

ProcessOptions WithInput(const std::string& input)
{
    ProcessOptions options;
    options.input = input;
    return options;
}

ProcessOptions InDirectory(const std::string& input, const std::string& directory)
{
    ProcessOptions options = WithInput(input);
    options.workingDirectory = directory;
    return options;
}

// The module copied byte for byte, the payload appended by the library.
std::string MakeArchive(const std::string& path, const ArchivePlan& plan)
{
    fs::copy_file(BinPath(plan.module), path, fs::copy_options::overwrite_existing);
    SdaContext* context = nullptr;
    const std::u16string archive = U16(path);
    const CoreResult init = IQ_SDAInit(&context, archive.c_str(), OrNull(plan.passphrase), OrNull(plan.keyfile),
                                       plan.cipher, OrNull(plan.help), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(init, IQ_OK);
    for (const std::string& dir : plan.dirs)
        EXPECT_EQ(IQ_SDAAddDir(context, U16(dir).c_str(), plan.level), IQ_OK) << dir;
    for (const std::string& file : plan.files)
        EXPECT_EQ(IQ_SDAAddFile(context, U16(file).c_str(), plan.level), IQ_OK) << file;
    IQ_SDAFinal(context);
    return path;
}

// input/ with every shape of file and folder, and top.txt beside it.
std::string MakeInput(const TempDir& dir)
{
    const std::string root = dir / "src";
    const std::string input = root + "/input";
    MakeSampleTree(input);
    WriteFile(root + "/top.txt", TextBytes(5000, 3));
    StampTimes(root, 123456789, 1111);
    return root;
}

class EveryCipherAndLevel : public ::testing::TestWithParam<std::tuple<std::uint32_t, int>> {};

TEST_P(EveryCipherAndLevel, ExtractsWhatWasArchived)
{
    const auto [cipher, level] = GetParam();
    TempDir dir;
    const std::string source = MakeInput(dir);
    ArchivePlan plan;
    plan.cipher = cipher;
    plan.level = level;
    plan.passphrase = u"p\u00e4ssw\u00f6rd";
    plan.help = u"Help for the recipient.";
    plan.dirs = {source + "/input"};
    plan.files = {source + "/top.txt"};
    const std::string archive = MakeArchive(dir / "archive.run", plan);

    const std::string out = dir / "out";
    fs::create_directory(out);
    // No display and no --console: the module runs in the terminal.
    const auto result = RunProcess(archive, {"--dest", out}, WithInput("p\xc3\xa4ssw\xc3\xb6rd\n"));
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    // Not a terminal: the banner and help go to standard error.
    EXPECT_TRUE(result.err.ends_with("\nHelp for the recipient.\n")) << result.err;
    EXPECT_EQ(result.out.rfind("Extracting archive contents:\n input\n", 0), 0U) << result.out;
    EXPECT_TRUE(result.out.ends_with("\nDone!\n")) << result.out;
    ExpectSameTree(source, out);
    struct stat info {};
    ASSERT_EQ(::stat((out + "/input/readonly.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0U);
}

INSTANTIATE_TEST_SUITE_P(Archives, EveryCipherAndLevel,
                         ::testing::Combine(::testing::Values(0U, 1U, 2U, 3U, 4U), ::testing::Values(0, 9)));

class Keyfiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir / "data.txt", "guarded");
        WriteFile(dir / "key.bin", key);
        fs::create_directory(out);
    }

    std::string Archive(const std::u16string& passphrase, const std::u16string& keyfile)
    {
        ArchivePlan plan;
        plan.cipher = CipherRc4;
        plan.passphrase = passphrase;
        plan.keyfile = keyfile;
        plan.files = {dir / "data.txt"};
        return MakeArchive(dir / "archive.run", plan);
    }

    TempDir dir;
    std::vector<std::uint8_t> key = NoiseBytes(3000, 7);
    std::string out = dir / "out";
};

TEST_F(Keyfiles, LocalKeyfileAsPathOrLocation)
{
    const std::string archive = Archive(u"", U16("file://" + dir / "key.bin"));
    WriteFile(dir / "other.bin", NoiseBytes(3000, 8));
    struct Case {
        std::string keyfile;
        int status;
    };
    for (const Case& c : {Case{dir / "key.bin", 0}, Case{"file://" + dir / "key.bin", 0},
                          Case{dir / "other.bin", 7}, Case{dir / "absent.bin", 3}}) {
        const auto result = RunProcess(archive, {"--console", "--dest", out, "--keyfile", c.keyfile,
                                                 "--overwrite", "always"},
                                       WithInput("\n"));
        EXPECT_EQ(result.status, c.status) << c.keyfile << "\n" << result.err;
    }
    EXPECT_EQ(ReadText(out + "/data.txt"), "guarded");
}

TEST_F(Keyfiles, RemoteKeyfileOverHttp)
{
    KeyfileServer server(key);
    const std::string archive = Archive(u"and a passphrase", U16(server.Url("/key.bin")));
    const auto result = RunProcess(archive, {"--console", "--dest", out, "--keyfile", server.Url("/key.bin")},
                                   WithInput("and a passphrase\n"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadText(out + "/data.txt"), "guarded");
    EXPECT_EQ(server.Requests(), 2) << "once by the writer, once by the module";

    const auto missing = RunProcess(archive, {"--console", "--dest", out, "--keyfile", server.Url("/gone")},
                                    WithInput("and a passphrase\n"));
    EXPECT_EQ(missing.status, 3);
    EXPECT_TRUE(missing.err.ends_with("\nCan not read keyfile!\n")) << missing.err;
}

class RealModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir / "data.txt", "contents");
        ArchivePlan plan;
        plan.passphrase = u"right";
        plan.files = {dir / "data.txt"};
        archive = MakeArchive(dir / "archive.run", plan);
    }

    TempDir dir;
    std::string archive;
};

TEST_F(RealModule, KeyCheckBeforeDestinationAndExitStatuses)
{
    const std::string missing = dir / "missing";
    const auto wrong = RunProcess(archive, {"--dest", missing}, WithInput("wrong\n"));
    EXPECT_EQ(wrong.status, 7);
    EXPECT_TRUE(wrong.err.ends_with("\nWrong passphrase or keyfile!\n")) << wrong.err;
    const auto noDestination = RunProcess(archive, {"--dest", missing}, WithInput("right\n"));
    EXPECT_EQ(noDestination.status, 6);
    EXPECT_TRUE(noDestination.err.ends_with("\nCan not create or open output directory!\n")) << noDestination.err;
    EXPECT_FALSE(fs::exists(missing));

    const auto bad = RunProcess(archive, {"--dest"}, {});
    EXPECT_EQ(bad.status, 64);
    EXPECT_NE(bad.err.find("usage: archive.run [--console]"), std::string::npos);
    const auto help = RunProcess(archive, {"--help"}, {});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: archive.run", 0), 0U);
}

TEST_F(RealModule, DestinationDefaultsToTheWorkingDirectory)
{
    const std::string here = dir / "here";
    fs::create_directory(here);
    const auto result = RunProcess(archive, {"--console"}, InDirectory("right\n", here));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadText(here + "/data.txt"), "contents");
}

TEST_F(RealModule, UnreadableHelpEndsAtStart)
{
    // The help length lies at PayloadOffset, which is the module's length.
    const auto offset = static_cast<std::streamoff>(fs::file_size(BinPath("GUI_en.iqm")));
    std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    const char tooLong[2] = {static_cast<char>(1427 & 0xFF), static_cast<char>(1427 >> 8)};
    file.write(tooLong, 2);
    file.close();
    const auto result = RunProcess(archive, {"--console"}, WithInput("right\n"));
    EXPECT_EQ(result.status, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Can not open archive!\n");

    const std::string bare = dir / "bare.run";
    fs::copy_file(BinPath("GUI_en.iqm"), bare);
    const auto empty = RunProcess(bare, {"--console"}, WithInput("right\n"));
    EXPECT_EQ(empty.status, 4);
    EXPECT_EQ(empty.err, "Can not open archive!\n");
}

TEST(RussianModule, SpeaksRussianAndFindsItsOwnPayload)
{
    TempDir dir;
    WriteFile(dir / "data.txt", "contents");
    ArchivePlan plan;
    plan.module = "GUI_ru.iqm";
    plan.passphrase = u"right";
    plan.help = u"\u041f\u043e\u043c\u043e\u0449\u044c";
    plan.files = {dir / "data.txt"};
    const std::string archive = MakeArchive(dir / "archive.run", plan);
    const std::string out = dir / "out";
    fs::create_directory(out);
    const auto result = RunProcess(archive, {"--dest", out}, WithInput("right\n"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.rfind("Этот саморасшифровывающийся архив создан программой Ironquiver "
                               "Self-Decryptor v2.50\n", 0),
              0U);
    EXPECT_TRUE(result.err.ends_with("Помощь\n")) << result.err;
    EXPECT_EQ(result.out, "Идет распаковка архива:\n data.txt\nГотово!\n");
    EXPECT_EQ(ReadText(out + "/data.txt"), "contents");
}

} // namespace
