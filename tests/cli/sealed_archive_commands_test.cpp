// The authenticated cipher through the programs: ivqa create -c xchacha20
// with every kind of key input and a help text, read back by ivqa extract,
// list and test, by the archive itself and by the read-back that precedes
// removing the inputs; and what ivqa info shows of it. The archives use the
// floor cost of the key derivation but one, which uses the default.

#include "cli_fixture.h"
#include "ivqa_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr char Secret[] = "correct horse\n";

struct KeyInput {
    const char* name;
    bool passphrase;
    bool keyfile;
    bool defaultCost;
};

class SealedRoundTrip : public ::testing::TestWithParam<KeyInput> {
protected:
    void SetUp() override
    {
        if (GetParam().defaultCost)
            ::unsetenv("IVQA_KDF_COST");
        else
            ::setenv("IVQA_KDF_COST", "floor", 1);
    }
    void TearDown() override { ::unsetenv("IVQA_KDF_COST"); }
};

TEST_P(SealedRoundTrip, EveryReaderRestoresWhatEveryKeyInputSealed)
{
    const KeyInput& key = GetParam();
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    WriteFile(dir / "help.txt", "Call Bob\nfor the passphrase.\n");
    WriteFile(dir / "my.key", std::string(3000, 'k') + "the keyfile's own bytes");
    std::vector<std::string> keyArgs;
    if (key.keyfile)
        keyArgs = {"--keyfile", dir / "my.key"};
    const std::string input = key.passphrase ? Secret : "\n";

    std::vector<std::string> rest = {"-c", "xchacha20", "--help-text", dir / "help.txt"};
    rest.insert(rest.end(), keyArgs.begin(), keyArgs.end());
    rest.push_back(source + "/input");
    const std::string archive = dir / "archive.run";
    const auto created = RunIvqa(CreateArgs(dir, archive, rest), input);
    ASSERT_EQ(created.status, 0) << created.err;

    const auto info = RunIvqa({"info", archive});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Cipher:       XChaCha20-Poly1305 (authenticated)\n"
                            "Key cost:     Argon2id, " +
                            std::string(key.defaultCost ? "10 passes over 256 MiB" : "1 pass over 1 MiB") + "\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("Call Bob\nfor the passphrase.\n"), std::string::npos) << "the help text is stored";

    const auto withKey = [&](std::vector<std::string> args) {
        args.insert(args.end(), keyArgs.begin(), keyArgs.end());
        return args;
    };
    fs::create_directory(dir / "extracted");
    const auto extracted = RunIvqa(withKey({"extract", archive, "--dest", dir / "extracted"}), input);
    ASSERT_EQ(extracted.status, 0) << extracted.out << extracted.err;
    ExpectSameTree(source + "/input", dir / "extracted/input");

    for (const char* command : {"list", "test"}) {
        const auto read = RunIvqa(withKey({command, archive}), input);
        EXPECT_EQ(read.status, 0) << command << ": " << read.out << read.err;
    }
    const auto wrong = RunIvqa(withKey({"test", archive}), "not the passphrase\n");
    EXPECT_EQ(wrong.status, 7) << wrong.out;

    if (HaveRealModules()) {
        fs::create_directory(dir / "run");
        ProcessRequest request;
        request.program = archive;
        request.args = withKey({"--console", "--dest", dir / "run"});
        request.input = input;
        ChildProcess run(request);
        const auto outcome = run.Finish();
        ASSERT_EQ(outcome.status, 0) << outcome.out << outcome.err;
        ExpectSameTree(source + "/input", dir / "run/input");
    }

    // The read-back before removal opens it with the same key input.
    std::vector<std::string> removing = {"-c", "xchacha20", "--delete-inputs"};
    removing.insert(removing.end(), keyArgs.begin(), keyArgs.end());
    removing.push_back(source + "/top.txt");
    const auto moved = RunIvqa(CreateArgs(dir, dir / "moved.run", removing), input);
    ASSERT_EQ(moved.status, 0) << moved.err;
    EXPECT_FALSE(fs::exists(source + "/top.txt"));
}

INSTANTIATE_TEST_SUITE_P(KeyInputs, SealedRoundTrip,
                         ::testing::Values(KeyInput{"passphrase", true, false, false},
                                           KeyInput{"keyfile", false, true, false},
                                           KeyInput{"both", true, true, false},
                                           KeyInput{"both_at_the_default_cost", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// For a Windows recipient the archive goes behind the Windows module (whose
// reading under Wine the wine suites show) and reads back the same.
TEST(SealedCreate, MadeForAWindowsRecipient)
{
    ::setenv("IVQA_KDF_COST", "floor", 1);
    TempDir dir;
    const std::string source = MakeInputTree(dir);
    const auto created =
        RunIvqa(CreateArgs(dir, dir / "archive", {"-c", "xchacha20", source + "/input"}, "en", "windows"), Secret);
    ::unsetenv("IVQA_KDF_COST");
    ASSERT_EQ(created.status, 0) << created.err;
    ASSERT_EQ(ReadText(dir / "archive.exe").substr(0, 2), "MZ");
    const auto info = RunIvqa({"info", dir / "archive.exe"});
    EXPECT_NE(info.out.find("XChaCha20-Poly1305 (authenticated)"), std::string::npos) << info.out;
    fs::create_directory(dir / "extracted");
    const auto extracted = RunIvqa({"extract", dir / "archive.exe", "--dest", dir / "extracted"}, Secret);
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    ExpectSameTree(source + "/input", dir / "extracted/input");
}

} // namespace
