// MultiByteToWideChar / WideCharToMultiByte for the supported code pages (see platform/README.md):
// single-byte pages through 128-entry tables for their upper half, and UTF-8. Undefined bytes map
// to the control character of the same value, as on Windows. Characters a single-byte page lacks
// become their unaccented Latin letter where there is one (best fit), otherwise the default
// character '?'.
#include "platform/posix/codepages.h"
#include "platform/posix/case_mapping.h"
#include "platform/posix/kernel.h"

#include <cstring>
#include <string>

namespace {

// The tables keep eight entries a line, so a byte's entry is easy to find.
// clang-format off

// Code page 1250, bytes 0x80..0xFF.
constexpr char16_t kCp1250[128] = {
    0x20ac, 0x0081, 0x201a, 0x0083, 0x201e, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015a, 0x0164, 0x017d, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203a, 0x015b, 0x0165, 0x017e, 0x017a,
    0x00a0, 0x02c7, 0x02d8, 0x0141, 0x00a4, 0x0104, 0x00a6, 0x00a7,
    0x00a8, 0x00a9, 0x015e, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x017b,
    0x00b0, 0x00b1, 0x02db, 0x0142, 0x00b4, 0x00b5, 0x00b6, 0x00b7,
    0x00b8, 0x0105, 0x015f, 0x00bb, 0x013d, 0x02dd, 0x013e, 0x017c,
    0x0154, 0x00c1, 0x00c2, 0x0102, 0x00c4, 0x0139, 0x0106, 0x00c7,
    0x010c, 0x00c9, 0x0118, 0x00cb, 0x011a, 0x00cd, 0x00ce, 0x010e,
    0x0110, 0x0143, 0x0147, 0x00d3, 0x00d4, 0x0150, 0x00d6, 0x00d7,
    0x0158, 0x016e, 0x00da, 0x0170, 0x00dc, 0x00dd, 0x0162, 0x00df,
    0x0155, 0x00e1, 0x00e2, 0x0103, 0x00e4, 0x013a, 0x0107, 0x00e7,
    0x010d, 0x00e9, 0x0119, 0x00eb, 0x011b, 0x00ed, 0x00ee, 0x010f,
    0x0111, 0x0144, 0x0148, 0x00f3, 0x00f4, 0x0151, 0x00f6, 0x00f7,
    0x0159, 0x016f, 0x00fa, 0x0171, 0x00fc, 0x00fd, 0x0163, 0x02d9,
};

// Code page 1251, bytes 0x80..0xFF.
constexpr char16_t kCp1251[128] = {
    0x0402, 0x0403, 0x201a, 0x0453, 0x201e, 0x2026, 0x2020, 0x2021,
    0x20ac, 0x2030, 0x0409, 0x2039, 0x040a, 0x040c, 0x040b, 0x040f,
    0x0452, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203a, 0x045a, 0x045c, 0x045b, 0x045f,
    0x00a0, 0x040e, 0x045e, 0x0408, 0x00a4, 0x0490, 0x00a6, 0x00a7,
    0x0401, 0x00a9, 0x0404, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x0407,
    0x00b0, 0x00b1, 0x0406, 0x0456, 0x0491, 0x00b5, 0x00b6, 0x00b7,
    0x0451, 0x2116, 0x0454, 0x00bb, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041a, 0x041b, 0x041c, 0x041d, 0x041e, 0x041f,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042a, 0x042b, 0x042c, 0x042d, 0x042e, 0x042f,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043a, 0x043b, 0x043c, 0x043d, 0x043e, 0x043f,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044a, 0x044b, 0x044c, 0x044d, 0x044e, 0x044f,
};

// Code page 1252, bytes 0x80..0xFF.
constexpr char16_t kCp1252[128] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
    0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
    0x00a0, 0x00a1, 0x00a2, 0x00a3, 0x00a4, 0x00a5, 0x00a6, 0x00a7,
    0x00a8, 0x00a9, 0x00aa, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x00af,
    0x00b0, 0x00b1, 0x00b2, 0x00b3, 0x00b4, 0x00b5, 0x00b6, 0x00b7,
    0x00b8, 0x00b9, 0x00ba, 0x00bb, 0x00bc, 0x00bd, 0x00be, 0x00bf,
    0x00c0, 0x00c1, 0x00c2, 0x00c3, 0x00c4, 0x00c5, 0x00c6, 0x00c7,
    0x00c8, 0x00c9, 0x00ca, 0x00cb, 0x00cc, 0x00cd, 0x00ce, 0x00cf,
    0x00d0, 0x00d1, 0x00d2, 0x00d3, 0x00d4, 0x00d5, 0x00d6, 0x00d7,
    0x00d8, 0x00d9, 0x00da, 0x00db, 0x00dc, 0x00dd, 0x00de, 0x00df,
    0x00e0, 0x00e1, 0x00e2, 0x00e3, 0x00e4, 0x00e5, 0x00e6, 0x00e7,
    0x00e8, 0x00e9, 0x00ea, 0x00eb, 0x00ec, 0x00ed, 0x00ee, 0x00ef,
    0x00f0, 0x00f1, 0x00f2, 0x00f3, 0x00f4, 0x00f5, 0x00f6, 0x00f7,
    0x00f8, 0x00f9, 0x00fa, 0x00fb, 0x00fc, 0x00fd, 0x00fe, 0x00ff,
};
// clang-format on

enum class Page { Table, Ascii, Latin1, Utf8, Unknown };

struct CodePage {
    Page kind;
    const char16_t* upper; // for Page::Table
};

CodePage Lookup(UINT cp)
{
    switch (cp) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case 1252: return {Page::Table, kCp1252};
    case 1250: return {Page::Table, kCp1250};
    case 1251: return {Page::Table, kCp1251};
    case 20127: return {Page::Ascii, nullptr};
    case 28591: return {Page::Latin1, nullptr};
    case CP_UTF8: return {Page::Utf8, nullptr};
    default: return {Page::Unknown, nullptr};
    }
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

/// Decodes UTF-8; each maximal ill-formed subsequence becomes one U+FFFD.
std::u16string DecodeUtf8(const unsigned char* s, size_t n, bool& invalid)
{
    std::u16string out;
    out.reserve(n);
    invalid = false;
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int need;
        char32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        } else {
            out.push_back(0xFFFD);
            invalid = true;
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        while (got < need && j < n) {
            unsigned char c = s[j];
            unsigned char l = got == 0 ? lo : 0x80, h = got == 0 ? hi : 0xBF;
            if (c < l || c > h)
                break;
            cp = (cp << 6) | (c & 0x3F);
            ++j;
            ++got;
        }
        if (got < need) {
            out.push_back(0xFFFD);
            invalid = true;
            i = j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i = j;
    }
    return out;
}

/// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(const char16_t* s, size_t n, bool& invalid)
{
    std::string out;
    out.reserve(n);
    invalid = false;
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
            invalid = true;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

char16_t DecodeByte(const CodePage& page, unsigned char b)
{
    if (b < 0x80)
        return b;
    switch (page.kind) {
    case Page::Table: return page.upper[b - 0x80];
    case Page::Ascii: return static_cast<char16_t>(b & 0x7F);
    default: return b;
    }
}

/// The byte for c in a single-byte page, or -1 when the page has no such character.
int EncodeChar(const CodePage& page, char16_t c)
{
    if (c < 0x80)
        return c;
    switch (page.kind) {
    case Page::Latin1: return c <= 0xFF ? c : -1;
    case Page::Ascii: return -1;
    default:
        for (int i = 0; i < 128; ++i)
            if (page.upper[i] == c)
                return 0x80 + i;
        return -1;
    }
}

} // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar)
{
    struct CodePage page = Lookup(CodePage);
    if (page.kind == Page::Unknown)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr))
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS))
        return Fail(ERROR_INVALID_FLAGS);
    size_t n = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const auto* bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);

    std::u16string wide;
    if (page.kind == Page::Utf8) {
        bool invalid;
        wide = DecodeUtf8(bytes, n, invalid);
        if (invalid && (dwFlags & MB_ERR_INVALID_CHARS))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        wide.resize(n);
        for (size_t i = 0; i < n; ++i)
            wide[i] = DecodeByte(page, bytes[i]);
    }
    if (wide.size() > 0x7FFFFFFF)
        return Fail(ERROR_INVALID_PARAMETER);
    int count = static_cast<int>(wide.size());
    if (cchWideChar == 0)
        return count;
    if (count > cchWideChar)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(char16_t));
    return count;
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    struct CodePage page = Lookup(CodePage);
    if (page.kind == Page::Unknown)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr))
        return Fail(ERROR_INVALID_PARAMETER);
    size_t n = cchWideChar;
    if (cchWideChar == -1) {
        n = 0;
        while (lpWideCharStr[n])
            ++n;
        ++n;
    }

    std::string bytes;
    bool usedDefault = false;
    if (page.kind == Page::Utf8) {
        if (lpUsedDefaultChar)
            return Fail(ERROR_INVALID_PARAMETER);
        bool invalid;
        bytes = EncodeUtf8(lpWideCharStr, n, invalid);
        if (invalid && (dwFlags & WC_ERR_INVALID_CHARS))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
    } else {
        char fallback = lpDefaultChar ? *lpDefaultChar : '?';
        bool bestFit = !(dwFlags & WC_NO_BEST_FIT_CHARS);
        bytes.resize(n);
        for (size_t i = 0; i < n; ++i) {
            int b = EncodeChar(page, lpWideCharStr[i]);
            if (b < 0 && bestFit) {
                if (char base = platform::detail::BaseLetter(lpWideCharStr[i]))
                    b = static_cast<unsigned char>(base);
            }
            if (b < 0) {
                b = static_cast<unsigned char>(fallback);
                usedDefault = true;
            }
            bytes[i] = static_cast<char>(b);
        }
    }
    if (bytes.size() > 0x7FFFFFFF)
        return Fail(ERROR_INVALID_PARAMETER);
    int count = static_cast<int>(bytes.size());
    if (cbMultiByte > 0) {
        if (count > cbMultiByte)
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(lpMultiByteStr, bytes.data(), bytes.size());
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return count;
}

BOOL IsValidCodePage(UINT CodePage)
{
    return CodePage != CP_ACP && CodePage != CP_THREAD_ACP && Lookup(CodePage).kind != Page::Unknown;
}

UINT GetACP()
{
    return 1252;
}

LPWSTR CharLowerW(LPWSTR lpsz)
{
    if (reinterpret_cast<uintptr_t>(lpsz) >> 16 == 0)
        return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(
            platform::detail::ToLowerChar(static_cast<OLECHAR>(reinterpret_cast<uintptr_t>(lpsz)))));
    for (LPWSTR p = lpsz; *p; ++p)
        *p = platform::detail::ToLowerChar(*p);
    return lpsz;
}

LPWSTR CharUpperW(LPWSTR lpsz)
{
    if (reinterpret_cast<uintptr_t>(lpsz) >> 16 == 0)
        return reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(
            platform::detail::ToUpperChar(static_cast<OLECHAR>(reinterpret_cast<uintptr_t>(lpsz)))));
    for (LPWSTR p = lpsz; *p; ++p)
        *p = platform::detail::ToUpperChar(*p);
    return lpsz;
}

DWORD CharLowerBuffW(LPWSTR lpsz, DWORD cchLength)
{
    if (!lpsz)
        return 0;
    for (DWORD i = 0; i < cchLength; ++i)
        lpsz[i] = platform::detail::ToLowerChar(lpsz[i]);
    return cchLength;
}
