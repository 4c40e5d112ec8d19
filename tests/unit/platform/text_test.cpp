// Code pages, CharLowerW and VarBstrCmp: the answers the real platform gives.
#include "platform/win.h"

#include <gtest/gtest.h>

#include <string>

namespace {

WideString Decode(UINT cp, const std::string& bytes)
{
    int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WideString out(static_cast<size_t>(n), 0);
    if (n > 0)
        MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string Encode(UINT cp, const WideString& text, BOOL* usedDefault = nullptr)
{
    int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, usedDefault);
    return out;
}

std::string AllBytes(int from)
{
    std::string s;
    for (int b = from; b < 256; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

int Compare(const WideString& a, const WideString& b)
{
    BSTR x = SysAllocStringLen(a.data(), static_cast<UINT>(a.size()));
    BSTR y = SysAllocStringLen(b.data(), static_cast<UINT>(b.size()));
    HRESULT hr = VarBstrCmp(x, y, LOCALE_USER_DEFAULT, 0);
    SysFreeString(x);
    SysFreeString(y);
    return static_cast<int>(hr);
}

} // namespace

TEST(CodePages, SingleBytePagesRoundTripEveryByte)
{
    for (UINT cp : {1250u, 1251u, 1252u, 28591u}) {
        std::string bytes = AllBytes(1);
        WideString wide = Decode(cp, bytes);
        ASSERT_EQ(wide.size(), bytes.size()) << cp;
        EXPECT_EQ(Encode(cp, wide), bytes) << cp;
    }
    std::string ascii = AllBytes(1).substr(0, 127);
    EXPECT_EQ(Encode(20127, Decode(20127, ascii)), ascii);
}

TEST(CodePages, CharactersOfEachPage)
{
    EXPECT_EQ(Decode(1252, "\x80\x8a\xe9\x81"), WideString(OLESTR("\u20ac\u0160\u00e9\u0081")));
    EXPECT_EQ(Decode(1250, "\x8a\xa3\xe8\xf8"), WideString(OLESTR("\u0160\u0141\u010d\u0159")));
    EXPECT_EQ(Decode(1251, "\xc0\xff\xa8\x88"), WideString(OLESTR("\u0410\u044f\u0401\u20ac")));
    EXPECT_EQ(Decode(28591, "\x80\xff"), WideString(OLESTR("\u0080\u00ff")));
    EXPECT_EQ(Decode(20127, "\xe9"), WideString(OLESTR("i"))); // the high bit is dropped
    EXPECT_EQ(Decode(CP_ACP, "\x80"), Decode(1252, "\x80"));
}

TEST(CodePages, UnmappableCharactersUseBestFitOrTheDefault)
{
    BOOL used = TRUE;
    EXPECT_EQ(Encode(1252, OLESTR("\u0100\u0141"), &used), "AL");
    EXPECT_FALSE(used);
    EXPECT_EQ(Encode(1252, OLESTR("\u0416"), &used), "?");
    EXPECT_TRUE(used);
    EXPECT_EQ(Encode(1251, OLESTR("\u00e9\u0416"), &used), "e\xc6");
    EXPECT_EQ(Encode(20127, OLESTR("\u00c0\u20ac"), &used), "A?");
}

TEST(CodePages, Utf8RoundTripAndInvalidSequences)
{
    WideString text = OLESTR("a\u00e9\u20ac\U0001F600z");
    std::string utf8 = Encode(CP_UTF8, text);
    EXPECT_EQ(utf8, "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
    EXPECT_EQ(Decode(CP_UTF8, utf8), text);
    // A lead byte without its continuation, and a truncated sequence, each become one U+FFFD.
    EXPECT_EQ(Decode(CP_UTF8, "a\xc3(b\xe2\x82z"), WideString(OLESTR("a\ufffd(b\ufffdz")));
    const OLECHAR lone[] = {OLECHAR('a'), 0xD800, OLECHAR('b')};
    EXPECT_EQ(Encode(CP_UTF8, WideString(lone, 3)), "a\xef\xbf\xbd"
                                                    "b");
}

TEST(CodePages, LengthsBuffersAndUnknownPages)
{
    OLECHAR buffer[8];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4); // counts the terminator
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, buffer, 8), 4);
    EXPECT_EQ(buffer[3], 0);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, buffer, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    for (UINT unknown : {12345u, 99u, 65002u}) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(unknown, 0, "a", 1, buffer, 8), 0) << unknown;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << unknown;
        char narrow[4];
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(unknown, 0, OLESTR("a"), 1, narrow, 4, nullptr, nullptr), 0) << unknown;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << unknown;
    }
}

TEST(CharLower, LettersOfTheSupportedScripts)
{
    OLECHAR text[] = OLESTR("AZ\u00c0\u00de\u00d7\u0178\u0100\u0139\u014a\u0179\u0152\u0391\u03a3\u0386\u038f"
                            "\u0401\u0410\u042f\u0130 1-");
    CharLowerW(text);
    EXPECT_EQ(WideString(text), WideString(OLESTR("az\u00e0\u00fe\u00d7\u00ff\u0101\u013a\u014b\u017a\u0153\u03b1"
                                                  "\u03c3\u03ac\u03ce\u0451\u0430\u044f\u0130 1-")));
}

TEST(VarBstrCmp, CaseSensitiveLocaleOrder)
{
    const OLECHAR* less[][2] = {
        {OLESTR("a"), OLESTR("A")},
        {OLESTR("A"), OLESTR("b")},
        {OLESTR("file1"), OLESTR("File1")},
        {OLESTR("File1"), OLESTR("file2")},
        {OLESTR("aB"), OLESTR("Ab")},
        {OLESTR("coop"), OLESTR("co-op")},
        {OLESTR("co-op"), OLESTR("cop")},
        {OLESTR("a_b"), OLESTR("a1")},
        {OLESTR("a1"), OLESTR("ab")},
        {OLESTR("e"), OLESTR("\u00e9")},
        {OLESTR("E"), OLESTR("\u00e9")},
        {OLESTR("\u00e9"), OLESTR("f")},
        {OLESTR(""), OLESTR("a")},
        {OLESTR("a"), OLESTR("aa")},
        {OLESTR("x~"), OLESTR("x1")},
        {OLESTR("10"), OLESTR("9")},
        {OLESTR("ABC"), OLESTR("abd")},
        {OLESTR("its"), OLESTR("it's")},
        {OLESTR("\u0436"), OLESTR("\u0416")},
        {OLESTR("\u0436"), OLESTR("\u0417")},
        {OLESTR("a b"), OLESTR("ab")},
        {OLESTR("a.b"), OLESTR("a-b")},
        {OLESTR("Z"), OLESTR("\u0430")},
    };
    for (auto& pair : less) {
        EXPECT_EQ(Compare(pair[0], pair[1]), VARCMP_LT) << testing::PrintToString(WideString(pair[0]).size());
        EXPECT_EQ(Compare(pair[1], pair[0]), VARCMP_GT);
    }
    EXPECT_EQ(Compare(OLESTR("File1"), OLESTR("File1")), VARCMP_EQ);
    EXPECT_EQ(Compare(OLESTR("\u00df"), OLESTR("ss")), VARCMP_EQ);
    EXPECT_EQ(Compare(WideString(OLESTR("a")), WideString(OLESTR("a\0b"), 3)), VARCMP_LT); // the whole length counts
    BSTR empty = SysAllocString(OLESTR(""));
    EXPECT_EQ(VarBstrCmp(nullptr, empty, LOCALE_USER_DEFAULT, 0), VARCMP_EQ);
    SysFreeString(empty);
}
