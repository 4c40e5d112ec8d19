#include "parser/text_conversion.h"

#include <gtest/gtest.h>

#include "parser/post_text_cvrt.h"

namespace {

using parser::CPostTextCvrt;
using textconv::EStrConversion;

WideString W(const char16_t* text)
{
    return WideString(text, text + std::char_traits<char16_t>::length(text));
}

// The text as a name is converted; a value goes straight into a BSTR, which must hold the same
// text at exactly its length.
WideString Convert(const std::string& text, std::int32_t codePage, std::int32_t mode)
{
    TParserOptions options;
    options.codePage = codePage;
    options.charRefsMode = mode;
    const CPostTextCvrt converter(&options);
    WideString wide = converter.Convert(text);
    const com::Bstr value = converter.ConvertToBstr(text);
    EXPECT_EQ(::SysStringByteLen(value.Get()), wide.size() * sizeof(OLECHAR)) << testing::PrintToString(text);
    EXPECT_EQ(WideString(value.Get(), value.Length()), wide) << testing::PrintToString(text);
    return wide;
}

constexpr std::int32_t kDecode = 0, kKeep = 1, kAuto = 2;
const std::string kCafeRef = "caf&#233;";
const std::string kCafeUtf8 = "caf\xC3\xA9";
const std::string kCafe1252 = "caf\xE9";

TEST(PostTextCvrt, WithoutCodePageAsciiDecodesReferencesUnlessKept)
{
    EXPECT_EQ(Convert(kCafeRef, 0, kAuto), W(u"café"));
    EXPECT_EQ(Convert(kCafeRef, 0, kDecode), W(u"café"));
    EXPECT_EQ(Convert(kCafeRef, 0, kKeep), W(u"caf&#233;"));
}

TEST(PostTextCvrt, WithoutCodePageNonAsciiIsUtf8AndKeepsItsReferences)
{
    for (const auto mode : {kDecode, kKeep, kAuto}) {
        EXPECT_EQ(Convert(kCafeUtf8, 0, mode), W(u"café")) << mode;
        EXPECT_EQ(Convert(kCafeUtf8 + " &#65;", 0, mode), W(u"café &#65;")) << mode;
        EXPECT_EQ(Convert("\xF0\x9F\x98\x80!", 0, mode), W(u"\U0001F600!")) << mode;
        EXPECT_EQ(Convert(std::string("\xC3\xA9\0\xC3\xA9", 5), 0, mode), WideString({u'\u00E9', 0, u'\u00E9'}))
            << mode;
        // Not UTF-8: byte for byte.
        EXPECT_EQ(Convert(kCafe1252, 0, mode), W(u"caf\u00E9")) << mode;
    }
}

TEST(PostTextCvrt, CodePageRows)
{
    EXPECT_EQ(Convert(kCafe1252, 1252, kAuto), W(u"café"));
    EXPECT_EQ(Convert(kCafeRef, 1252, kAuto), W(u"caf&#233;"));
    EXPECT_EQ(Convert(kCafeRef, 1252, kKeep), W(u"caf&#233;"));
    EXPECT_EQ(Convert(kCafeRef, 1252, kDecode), W(u"café"));
    EXPECT_EQ(Convert("\x80 &#8364;", 1252, kDecode), W(u"€ €"));
    // The platform conversion stops at a zero byte.
    EXPECT_EQ(Convert(std::string("ab\0cd", 5), 1252, kAuto), W(u"ab"));
    // An unknown code page falls back to one unit per byte.
    EXPECT_EQ(Convert(kCafe1252, 12345, kDecode), W(u"caf\u00E9"));
    EXPECT_EQ(Convert(kCafeRef, 12345, kDecode), W(u"caf&#233;"));
}

TEST(PostTextCvrt, EmptyTextInEveryRowAndBadMode)
{
    for (const auto page : {0, 1252, 12345}) {
        for (const auto mode : {kDecode, kKeep, kAuto})
            EXPECT_EQ(Convert("", page, mode), WideString());
    }
    EXPECT_THROW(Convert("a", 0, 3), CPostTextCvrt::EPostTextCvrt);
    EXPECT_THROW(Convert("a", 1252, -1), CPostTextCvrt::EPostTextCvrt);
}

TEST(CharRefs, OnlyTerminatedDecimalReferencesInRangeAreDecoded)
{
    const std::pair<const char*, const char16_t*> cases[] = {
        {"&#65;&#66;", u"AB"},
        {"&#065;", u"A"},
        {"&#0000000000000000000065;", u"A"},
        {"&#65534;", u"\uFFFE"},
        {"&#0;", u"&#0;"},
        {"&#65535;", u"&#65535;"},
        {"&#99999999999999999999999;", u"&#99999999999999999999999;"},
        {"&#x41;", u"&#x41;"},
        {"x&#65", u"x&#65"},
        {"&#;", u"&#;"},
        {"&amp;", u"&amp;"},
        {"&#&#65;", u"&#A"},
        {"&#65 &#66;", u"&#65 B"},
        {"&#55357;&#56832;", u"\xD83D\xDE00"},
        {"&", u"&"},
        {"&#", u"&#"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(textconv::AsciiRefsToWide(in), W(out)) << in;
        EXPECT_EQ(textconv::DecodeCharRefs(textconv::AsciiToWide(in)), W(out)) << in;
    }
    EXPECT_THROW(textconv::AsciiRefsToWide("\xE9&#65;"), EStrConversion);
}

TEST(Utf8, ValidTextIncludingCharactersBeyondTheBasicPlane)
{
    EXPECT_EQ(textconv::Utf8ToWide("a\xC3\xA9\xE2\x82\xAC"), W(u"aé€"));
    EXPECT_EQ(textconv::Utf8ToWide("\xF0\x9F\x98\x80!"), W(u"\U0001F600!"));
    EXPECT_EQ(textconv::Utf8ToWide("\xF4\x8F\xBF\xBF"), W(u"\U0010FFFF"));
    EXPECT_EQ(textconv::Utf8ToWide("\xEF\xBF\xBF\xF0\x90\x80\x80"), W(u"\uFFFF\U00010000"));
    EXPECT_EQ(textconv::Utf8ToWide(std::string("a\0b", 3)), WideString({u'a', 0, u'b'}));
    EXPECT_EQ(textconv::Utf8ToWide(""), WideString());
}

TEST(Utf8, AsciiStretchesOfEveryLengthAroundOtherCharacters)
{
    // ASCII is passed over a word at a time: every alignment of a multi-byte or bad sequence, and
    // stretches longer than the decoder's 16 KiB blocks.
    for (const std::size_t before : {0, 1, 7, 8, 9, 15, 16, 17, 16383, 16384, 16385}) {
        for (const std::size_t after : {0, 1, 7, 8, 9}) {
            const std::string a(before, 'a'), b(after, 'b');
            EXPECT_EQ(textconv::Utf8ToWide(a + "\xE2\x82\xAC" + b),
                      WideString(a.begin(), a.end()) + W(u"\u20AC") + WideString(b.begin(), b.end()))
                << before << " " << after;
            EXPECT_EQ(textconv::Utf8ToWide(a + "\xF0\x9F\x98\x80" + b).size(), before + 2 + after);
            EXPECT_THROW(textconv::Utf8ToWide(a + "\xC3\x28" + b), EStrConversion) << before << " " << after;
            EXPECT_THROW(textconv::Utf8ToWide(a + b + "\xE2\x82"), EStrConversion) << before << " " << after;
        }
    }
}

TEST(Utf8, InvalidFormsFail)
{
    for (const std::string bad : {
             "\xC0\xAF",                 // overlong '/'
             "\xE0\x80\xAF",             // overlong, three bytes
             "\xF0\x80\x80\xAF",         // overlong, four bytes
             "\xED\xA0\x80",             // encoded surrogate
             "\xF4\x90\x80\x80",         // above U+10FFFF
             "\xF8\x88\x80\x80\x80",     // five-byte form
             "\xFC\x84\x80\x80\x80\x80", // six-byte form
             "ab\xC3",                   // cut short
             "\xE2\x82",                 // cut short
             "\x80",                     // lone continuation byte
             "\xC3\x28",                 // bad continuation
             "\xFF",
         }) {
        EXPECT_THROW(textconv::Utf8ToWide(bad), EStrConversion) << testing::PrintToString(bad);
    }
    // The chain then widens byte for byte; an overlong slash does not become a slash.
    EXPECT_EQ(Convert("..\xC0\xAF", 0, kAuto), W(u"..\u00C0\u00AF"));
}

TEST(Ascii, HelpersWorkOnBytes)
{
    EXPECT_TRUE(textconv::IsAscii(std::string("ab\0\xE9", 4)));
    EXPECT_FALSE(textconv::IsAscii("a\x80"));
    std::string mixed = "Content-TYPE";
    textconv::AsciiToLower(mixed);
    EXPECT_EQ(mixed, "content-type");
    std::string high = "ABC\xC9";
    EXPECT_THROW(textconv::AsciiToLower(high), EStrConversion);
    EXPECT_EQ(high, "ABC\xC9"); // untouched on failure
    EXPECT_THROW(textconv::AsciiToWide("\xE9"), EStrConversion);
    EXPECT_EQ(textconv::WidenBytes("\x01\x7F\x80\xFF"), W(u"\u0001\u007F\u0080\u00FF"));
}

} // namespace
