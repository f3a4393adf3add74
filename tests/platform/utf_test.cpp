#include "platform/utf.h"

#include <gtest/gtest.h>

TEST(Utf, RoundTripsEveryPlane)
{
    const std::u16string text = u"a\u00e9\u0416\u4e2d\U0001F600z";
    const auto utf8 = Utf16ToUtf8(text);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, "a\xc3\xa9\xd0\x96\xe4\xb8\xad\xf0\x9f\x98\x80z");
    const auto back = Utf8ToUtf16(*utf8);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, text);
}

TEST(Utf, RefusesMalformedInput)
{
    const char* badUtf8[] = {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "ab\xe4\xb8"};
    for (const char* bad : badUtf8)
        EXPECT_FALSE(Utf8ToUtf16(bad)) << "accepted: " << bad;
    const std::u16string loneHigh(1, u'\xd800');
    const std::u16string loneLow = std::u16string(u"x") + u'\xdc00';
    EXPECT_FALSE(Utf16ToUtf8(loneHigh));
    EXPECT_FALSE(Utf16ToUtf8(loneLow));
}

TEST(Utf, BufferFormRefusesWhatDoesNotFit)
{
    char16_t out[3];
    std::size_t written = 0;
    EXPECT_TRUE(Utf8ToUtf16("abc", out, 3, &written));
    EXPECT_EQ(written, 3U);
    EXPECT_FALSE(Utf8ToUtf16("abcd", out, 3, &written));
    EXPECT_FALSE(Utf8ToUtf16("ab\xf0\x9f\x98\x80", out, 3, &written)); // surrogate pair would split
}

TEST(Utf, LengthOfNullIsZero)
{
    EXPECT_EQ(Utf16Length(nullptr), 0U);
    EXPECT_EQ(Utf16Length(u"abc"), 3U);
}

// File names: what is not UTF-8 travels as escaped bytes and comes back
// byte for byte; what is UTF-8 converts as it always did.
TEST(NameConversion, EveryByteStringRoundTripsAndValidNamesAreUnchanged)
{
    const struct {
        const char* label;
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"ASCII", "report.txt", u"report.txt"},
        {"valid UTF-8 of every length", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", u"caf\u00E9 \u20AC \U0001F600"},
        {"pair whose low unit lies in the escape range", "\xF0\x90\x82\x80", u"\U00010080"},
        {"Latin-1", "caf\xE9.txt", u"caf\xDCE9.txt"},
        {"CP1251", "\xCF\xF0\xE8\xE2\xE5\xF2", u"\xDCCF\xDCF0\xDCE8\xDCE2\xDCE5\xDCF2"},
        {"stray continuation byte", "a\x80z", u"a\xDC80z"},
        {"truncated sequence at the end", "ok\xE2\x82", u"ok\xDCE2\xDC82"},
        {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"only invalid bytes", "\xFF\xFE\x80", u"\xDCFF\xDCFE\xDC80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(NameToUtf16(c.bytes), c.units);
        EXPECT_EQ(Utf16ToName(c.units), c.bytes);
        const bool valid = Utf8ToUtf16(c.bytes).has_value();
        EXPECT_EQ(HoldsEscapedByte(c.units), !valid);
        if (valid) {
            EXPECT_EQ(Utf8ToUtf16(c.bytes), c.units);
        }
    }
}

TEST(NameConversion, LoneSurrogatesOutsideTheEscapesNameNothing)
{
    for (const std::u16string units : {u"\xD800x", u"x\xDC41", u"\xDBFF"}) {
        EXPECT_FALSE(Utf16ToName(units).has_value());
        EXPECT_FALSE(HoldsEscapedByte(units));
    }
}
