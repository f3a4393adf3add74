#pragma once
// Invocations every build of ivqa refuses as a usage error (status 64),
// each with the hint its message ends in; ivqa and ivqa.exe share them.

#include "ivqa_process.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

struct UsageCase {
    std::vector<std::string> args;
    const char* hint; // empty: the general usage text instead of a hint
};

inline const std::vector<UsageCase>& BadInvocations()
{
    static const std::vector<UsageCase> cases = {
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
    return cases;
}

inline void ExpectRefusedAsUsage(const UsageCase& c, const ProcessOutcome& outcome)
{
    std::string shown;
    for (const std::string& arg : c.args)
        shown += arg + " ";
    EXPECT_EQ(outcome.status, 64) << shown;
    EXPECT_EQ(outcome.out, "") << shown;
    if (c.args.empty()) {
        EXPECT_EQ(outcome.err.rfind("usage: ivqa COMMAND", 0), 0u) << outcome.err;
        return;
    }
    EXPECT_EQ(outcome.err.rfind("ivqa: ", 0), 0u) << shown << outcome.err;
    EXPECT_NE(outcome.err.find(c.hint), std::string::npos) << shown << outcome.err;
}
