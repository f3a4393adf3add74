// Usage errors, --help and --version.

#include "ivqa_process.h"

#include <gtest/gtest.h>

namespace {

TEST(Usage, BadInvocationsExit64WithAPointerToHelp)
{
    const struct {
        std::vector<std::string> args;
        const char* hint;
    } cases[] = {
        {{}, ""},
        {{"frobnicate"}, "Try 'ivqa --help'."},
        {{"--frobnicate"}, "Try 'ivqa --help'."},
        {{"create", "in"}, "Try 'ivqa create --help'."},
        {{"create", "-o", "a.run"}, "Try 'ivqa create --help'."},
        {{"create", "-o", "a.run", "-c", "des", "in"}, "Try 'ivqa create --help'."},
        {{"create", "-o", "a.run", "-l", "10", "in"}, "Try 'ivqa create --help'."},
        {{"create", "-o", "a.run", "--bogus", "in"}, "Try 'ivqa create --help'."},
        {{"create", "-o"}, "Try 'ivqa create --help'."},
        {{"extract"}, "Try 'ivqa extract --help'."},
        {{"extract", "a.run", "b.run"}, "Try 'ivqa extract --help'."},
        {{"extract", "a.run", "--overwrite", "sometimes"}, "Try 'ivqa extract --help'."},
        {{"list", "a.run", "--dest", "x"}, "Try 'ivqa list --help'."},
        {{"test"}, "Try 'ivqa test --help'."},
        {{"info"}, "Try 'ivqa info --help'."},
        {{"wipe", "--yes"}, "Try 'ivqa wipe --help'."},
        {{"wipe", "-m", "shred", "--yes", "x"}, "Try 'ivqa wipe --help'."},
        {{"wipe", "-n", "0", "--yes", "x"}, "Try 'ivqa wipe --help'."},
        {{"wipe", "-n", "33", "--yes", "x"}, "Try 'ivqa wipe --help'."},
        {{"rm", "-m", "fast", "--yes", "x"}, "Try 'ivqa rm --help'."},
        {{"passgen", "-l", "5"}, "Try 'ivqa passgen --help'."},
        {{"passgen", "-l", "65"}, "Try 'ivqa passgen --help'."},
        {{"passgen", "-n", "0"}, "Try 'ivqa passgen --help'."},
        {{"passgen", "-n", "51"}, "Try 'ivqa passgen --help'."},
        {{"passgen", "-l", "x"}, "Try 'ivqa passgen --help'."},
        {{"keygen"}, "Try 'ivqa keygen --help'."},
        {{"keygen", "-s", "63", "k"}, "Try 'ivqa keygen --help'."},
        {{"keygen", "-s", "16385", "k"}, "Try 'ivqa keygen --help'."},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args)
            shown += arg + " ";
        const auto outcome = RunIvqa(c.args);
        EXPECT_EQ(outcome.status, 64) << shown;
        EXPECT_EQ(outcome.out, "") << shown;
        if (c.args.empty()) {
            EXPECT_EQ(outcome.err.rfind("usage: ivqa COMMAND", 0), 0u) << outcome.err;
            continue;
        }
        EXPECT_EQ(outcome.err.rfind("ivqa: ", 0), 0u) << shown << outcome.err;
        EXPECT_NE(outcome.err.find(c.hint), std::string::npos) << shown << outcome.err;
    }
}

TEST(Usage, EverySubcommandDescribesItself)
{
    for (const char* command : {"create", "extract", "list", "test", "info", "wipe", "rm", "passgen", "keygen"}) {
        for (const char* flag : {"--help", "-h"}) {
            const auto outcome = RunIvqa({command, flag});
            EXPECT_EQ(outcome.status, 0) << command;
            EXPECT_EQ(outcome.out.rfind(std::string("usage: ivqa ") + command + " ", 0), 0u) << outcome.out;
            EXPECT_EQ(outcome.err, "");
        }
    }
    const auto general = RunIvqa({"--help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_NE(general.out.find("  keygen "), std::string::npos);
}

TEST(Usage, VersionNamesTheRelease)
{
    for (const char* flag : {"--version", "-V"}) {
        const auto outcome = RunIvqa({flag});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out.rfind("ivqa (Ironquiver Self-Decryptor) 2.50\n"
                                    "archive format 2.50\n"
                                    "libivqa 2.50\n"
                                    "zlib 1.",
                                    0),
                  0u)
            << outcome.out;
        EXPECT_NE(outcome.out.find(", libdeflate 1."), std::string::npos) << outcome.out;
    }
}

} // namespace
