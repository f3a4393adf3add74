// Usage errors, --help and --version.

#include "ivqa_process.h"
#include "usage_cases.h"

#include <gtest/gtest.h>

namespace {

TEST(Usage, BadInvocationsExit64WithAPointerToHelp)
{
    for (const auto& c : BadInvocations())
        ExpectRefusedAsUsage(c, RunIvqa(c.args));
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
