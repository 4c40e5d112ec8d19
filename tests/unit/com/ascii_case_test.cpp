// Names compared without regard to ASCII case: only A-Z and a-z fold, so characters that differ
// by the case bit without being letters, and non-ASCII letters, still tell names apart.
#include "com/ascii_case.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiCase, OnlyAsciiLettersFold)
{
    EXPECT_TRUE(com::EqualsIgnoringAsciiCase("Content-Type", "cONTENT-tYPE"));
    EXPECT_TRUE(com::EqualsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(com::EqualsIgnoringAsciiCase("Content-Type", "Content-Typ"));
    EXPECT_FALSE(com::EqualsIgnoringAsciiCase("a@", "a`")); // 0x40 and 0x60: the case bit, no letters
    EXPECT_FALSE(com::EqualsIgnoringAsciiCase("[x]", "{x}"));
    EXPECT_TRUE(com::EqualsIgnoringAsciiCase(OLESTR("Http_X"), WideString(OLESTR("HTTP_x"))));
    EXPECT_FALSE(com::EqualsIgnoringAsciiCase(OLESTR("caf\u00E9"), OLESTR("CAF\u00C9")));
}

TEST(AsciiCase, LowerAndUpperChangeLettersOnly)
{
    EXPECT_EQ(com::AsciiLower('Q'), 'q');
    EXPECT_EQ(com::AsciiLower('q'), 'q');
    EXPECT_EQ(com::AsciiLower('@'), '@');
    EXPECT_EQ(com::AsciiUpper(OLECHAR('z')), OLECHAR('Z'));
    EXPECT_EQ(com::AsciiUpper(OLECHAR('{')), OLECHAR('{'));
    EXPECT_EQ(com::AsciiUpper(OLECHAR(0xE9)), OLECHAR(0xE9));
}

} // namespace
