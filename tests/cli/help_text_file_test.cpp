// Help texts from files, stored as the creation dialog stores its memo.

#include "cli/help_text_file.h"
#include "module_test_support.h"

#include <gtest/gtest.h>

namespace {

struct HelpCase {
    const char* name;
    std::string file;
    std::u16string stored;
};

class StoredHelpForms : public ::testing::TestWithParam<HelpCase> {};

TEST_P(StoredHelpForms, EveryLineEndsInCrLf)
{
    const auto help = StoredHelpFromUtf8(GetParam().file);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->text, GetParam().stored);
    EXPECT_FALSE(help->cut);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StoredHelpForms,
    ::testing::Values(HelpCase{"Empty", "", u""}, HelpCase{"OnlyByteOrderMark", "\xEF\xBB\xBF", u""},
                      HelpCase{"LfLines", "one\ntwo\n", u"one\r\ntwo\r\n"},
                      HelpCase{"CrLfLines", "one\r\ntwo\r\n", u"one\r\ntwo\r\n"},
                      HelpCase{"LastLineWithoutEnd", "one\ntwo", u"one\r\ntwo\r\n"},
                      // As the window program reads a file: a lone CR ends a line too.
                      HelpCase{"LoneCrLines", "one\rtwo\r\rthree", u"one\r\ntwo\r\n\r\nthree\r\n"},
                      HelpCase{"NulDropped", std::string("a\0b\n", 4), u"ab\r\n"},
                      HelpCase{"EmptyLinesKept", "a\n\nb\n\n", u"a\r\n\r\nb\r\n\r\n"},
                      HelpCase{"ByteOrderMarkDropped", "\xEF\xBB\xBFhi\n", u"hi\r\n"},
                      HelpCase{"NonAscii", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x94\x91\n", u"Gr\u00fc\u00dfe \U0001F511\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StoredHelp, LongTextIsCutTo1024UnitsEndingInCrLf)
{
    const struct {
        const char* name;
        std::string file;
        std::size_t length;
        bool cut;
    } cases[] = {
        {"exactly fits", std::string(1022, 'a') + "\n", 1024, false},
        {"one unit over", std::string(1023, 'a'), 1024, true},
        {"many lines", [] {
             std::string text;
             for (int i = 0; i < 400; ++i)
                 text += "line\n";
             return text;
         }(), 1024, true},
        // A cut between CR and LF drops the CR as well.
        {"cut inside a line end", std::string(1021, 'a') + "\nbbbb\n", 1023, true},
        // A cut inside a surrogate pair drops its first half.
        {"cut inside a pair", std::string(1021, 'a') + "\xF0\x9F\x94\x91" "b", 1023, true},
    };
    for (const auto& c : cases) {
        const auto help = StoredHelpFromUtf8(c.file);
        ASSERT_TRUE(help) << c.name;
        EXPECT_EQ(help->text.size(), c.length) << c.name;
        EXPECT_EQ(help->cut, c.cut) << c.name;
        EXPECT_EQ(help->text.substr(help->text.size() - 2), u"\r\n") << c.name;
        EXPECT_EQ(help->text.find(u"\r\r"), std::u16string::npos) << c.name;
        const char16_t beforeEnd = help->text[help->text.size() - 3];
        EXPECT_FALSE(beforeEnd >= 0xD800 && beforeEnd <= 0xDBFF) << c.name;
    }
}

TEST(StoredHelp, RefusesTextThatIsNotUtf8)
{
    EXPECT_FALSE(StoredHelpFromUtf8("fine\nbad \xFF byte\n"));
    EXPECT_FALSE(StoredHelpFromUtf8("\xED\xA0\x80")); // an encoded surrogate
}

TEST(HelpFile, ReadsTheFileAndReportsWhatFails)
{
    TempDir dir;
    StoredHelp help;
    WriteFile(dir / "help.txt", "Call me.\n");
    ASSERT_EQ(ReadHelpFile(dir / "help.txt", &help), HelpFileStatus::Ok);
    EXPECT_EQ(help.text, u"Call me.\r\n");

    // Far beyond what is kept, with a character across the read limit.
    WriteFile(dir / "huge.txt", std::string(65535, 'x') + "\xC3\xBC" + std::string(1000, 'y'));
    ASSERT_EQ(ReadHelpFile(dir / "huge.txt", &help), HelpFileStatus::Ok);
    EXPECT_TRUE(help.cut);
    EXPECT_EQ(help.text.size(), 1024u);

    WriteFile(dir / "latin1.txt", "caf\xE9\n");
    EXPECT_EQ(ReadHelpFile(dir / "latin1.txt", &help), HelpFileStatus::NotUtf8);
    EXPECT_EQ(ReadHelpFile(dir / "missing.txt", &help), HelpFileStatus::CannotRead);
    EXPECT_EQ(ReadHelpFile(dir.Path(), &help), HelpFileStatus::CannotRead);
}

} // namespace
