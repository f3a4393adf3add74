// The option forms every subcommand accepts.

#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace {

constexpr OptionSpec Specs[] = {{'o', "output", true}, {'l', "level", true}, {'\0', "yes", false}};

struct ParseCase {
    const char* name;
    std::vector<const char*> args;
    std::string output; // "" when absent
    bool yes;
    std::vector<std::string> operands;
};

class ParseForms : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseForms, ValuesAndOperands)
{
    const ParseCase& c = GetParam();
    std::string error;
    const auto parsed = ParseArguments(c.args, Specs, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->Value("output").value_or(""), c.output);
    EXPECT_EQ(parsed->Has("yes"), c.yes);
    EXPECT_EQ(parsed->Operands(), c.operands);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseForms,
    ::testing::Values(ParseCase{"ShortSeparate", {"-o", "a.run", "in"}, "a.run", false, {"in"}},
                      ParseCase{"ShortAttached", {"-oa.run", "in"}, "a.run", false, {"in"}},
                      ParseCase{"LongSeparate", {"--output", "a.run", "in"}, "a.run", false, {"in"}},
                      ParseCase{"LongEquals", {"--output=a.run"}, "a.run", false, {}},
                      ParseCase{"LastValueWins", {"-o", "a", "-o", "b"}, "b", false, {}},
                      ParseCase{"OptionsAfterOperands", {"x", "--yes", "y", "-o", "z"}, "z", true, {"x", "y"}},
                      ParseCase{"DashDashEndsOptions", {"--", "-o", "--yes"}, "", false, {"-o", "--yes"}},
                      ParseCase{"LoneDashIsOperand", {"-"}, "", false, {"-"}},
                      ParseCase{"ValueMayBeginWithDash", {"-o", "-x"}, "-x", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseArguments, RefusesWhatItCannotMeanWithTheOptionNamed)
{
    const struct {
        std::vector<const char*> args;
        const char* named;
    } cases[] = {
        {{"--bogus"}, "--bogus"}, {{"-x"}, "-x"},      {{"-o"}, "-o"},
        {{"--output"}, "--output"}, {{"--yes=1"}, "--yes"}, {{"--level"}, "--level"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseArguments(c.args, Specs, &error)) << c.named;
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
}

TEST(ParseNumber, AcceptsOnlyPlainDecimalsInRange)
{
    EXPECT_EQ(ParseNumber("6", 6, 64), 6);
    EXPECT_EQ(ParseNumber("64", 6, 64), 64);
    for (const char* bad : {"", "5", "65", "-1", "+7", "7x", " 7", "0x10", "99999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad, 6, 64)) << bad;
}

} // namespace
