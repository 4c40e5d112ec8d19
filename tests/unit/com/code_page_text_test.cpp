// The conversions between UTF-16 text and code-page bytes that the page host, the tools and the
// Upload object's boundary share: what converts, what comes back for a code page the system does
// not know, and that empty text is no failure.
#include "com/code_page_text.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT kUnknownCodePage = 12345;

TEST(CodePageText, Utf8RoundTripsEveryPlane)
{
    const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, e acute, euro, an emoji
    const std::optional<WideString> text = com::WidenText(bytes, CP_UTF8);
    ASSERT_TRUE(text);
    const WideString expected = WideString(OLESTR("a\u00E9\u20AC")) + OLECHAR(0xD83D) + OLECHAR(0xDE00);
    EXPECT_EQ(*text, expected);
    EXPECT_EQ(com::NarrowText(*text, CP_UTF8), bytes);
}

TEST(CodePageText, ASingleByteCodePageMapsItsOwnCharacters)
{
    EXPECT_EQ(com::WidenText("\xE9\x80", 1252), WideString(OLESTR("\u00E9\u20AC")));
    EXPECT_EQ(com::NarrowText(OLESTR("\u00E9\u20AC"), 1252), std::string("\xE9\x80"));
}

TEST(CodePageText, BytesThatAreNotUtf8BecomeReplacementCharactersNotAFailure)
{
    EXPECT_EQ(com::WidenText("a\xFF"
                             "b",
                             CP_UTF8),
              WideString(OLESTR("a\uFFFDb")));
}

TEST(CodePageText, AnUnknownCodePageFailsUnlessThereIsNothingToConvert)
{
    EXPECT_EQ(com::WidenText("abc", kUnknownCodePage), std::nullopt);
    EXPECT_EQ(com::NarrowText(OLESTR("abc"), kUnknownCodePage), std::nullopt);
    EXPECT_EQ(com::WidenText("", kUnknownCodePage), WideString());
    EXPECT_EQ(com::NarrowText(WideString(), kUnknownCodePage), std::string());
}

} // namespace
