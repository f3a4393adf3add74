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
