#include "parser/text_conversion.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <locale>
#include <vector>

#include "parser/utf8_facet.h"

namespace textconv {

namespace {

using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;

bool IsHighByte(char ch)
{
    return static_cast<unsigned char>(ch) >= 0x80;
}

// Length of the valid UTF-8 sequence starting at text[i] and its code point, or 0 when the
// sequence is malformed, overlong, an encoded surrogate, above U+10FFFF or cut short.
std::size_t ValidSequence(std::string_view text, std::size_t i, char32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0; // continuation byte, C0/C1 (always overlong), 5- and 6-byte forms, F5-FF
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF)
        return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
        return 0;
    return length;
}

// Decodes a run of valid one- to three-byte sequences through the facet into out. Every
// character of such a run fits one 16-bit unit, which the facet computes correctly whatever
// wchar_t's width. Runs are at most kRunBytes long (see Utf8ToWideInto), so the scratch buffer
// stays small. Returns the number of units written.
constexpr std::size_t kRunBytes = 16384;

std::size_t DecodeBmpRun(const Facet& facet, const char* from, const char* fromEnd, std::vector<wchar_t>& scratch,
                         OLECHAR* out)
{
    if (from == fromEnd)
        return 0;
    scratch.resize(static_cast<std::size_t>(fromEnd - from));
    std::mbstate_t state{};
    const char* fromNext = from;
    wchar_t* toNext = scratch.data();
    const auto result =
        facet.in(state, from, fromEnd, fromNext, scratch.data(), scratch.data() + scratch.size(), toNext);
    if (result != std::codecvt_base::ok || fromNext != fromEnd)
        throw EStrConversion();
    std::transform(scratch.data(), toNext, out, [](wchar_t ch) { return static_cast<OLECHAR>(ch); });
    return static_cast<std::size_t>(toNext - scratch.data());
}

// Writes text[a, b) to out with each element widened to one unit; returns b - a. out may be the
// text itself or lie before it: the copy runs forward.
template <typename Char, typename Widen>
std::size_t CopyWidened(const Char* text, std::size_t a, std::size_t b, Widen widen, OLECHAR* out)
{
    for (std::size_t i = a; i < b; ++i)
        *out++ = widen(text[i]);
    return b - a;
}

std::size_t WriteSurrogatePair(char32_t codePoint, OLECHAR* out)
{
    const char32_t v = codePoint - 0x10000;
    out[0] = static_cast<OLECHAR>(0xD800 + (v >> 10));
    out[1] = static_cast<OLECHAR>(0xDC00 + (v & 0x3FF));
    return 2;
}

// Character reference decoding shared by narrow ASCII and wide text: only &#digits; with a value
// from 1 to 65534 is replaced; everything else stays as written. Writes at most text.size()
// units to out and returns their number. out may be the wide text itself: a reference is never
// shorter than what replaces it, so every write lands at or before what is still to be read.
template <typename Char, typename Widen>
std::size_t DecodeRefs(std::basic_string_view<Char> text, Widen widen, OLECHAR* out)
{
    const std::size_t n = text.size();
    std::size_t written = 0;
    std::size_t copied = 0;
    std::size_t from = 0;
    const auto isDigit = [](Char ch) { return ch >= Char('0') && ch <= Char('9'); };
    for (;;) {
        std::size_t p = from;
        for (;;) {
            p = text.find(Char('&'), p);
            if (p == text.npos || p + 1 >= n || text[p + 1] == Char('#'))
                break;
            ++p;
        }
        if (p == text.npos || p + 1 >= n)
            break;
        std::size_t q = p + 2;
        // The value saturates: anything above the decodable range stays in the text, exactly as
        // an overflowing conversion would leave it.
        std::uint64_t value = 0;
        while (q < n && isDigit(text[q])) {
            if (value <= 0xFFFFFFFFu)
                value = value * 10 + static_cast<std::uint64_t>(text[q] - Char('0'));
            ++q;
        }
        if (q == n)
            break;
        if (q == p + 2 || text[q] != Char(';')) {
            from = q;
            continue;
        }
        if (value >= 1 && value <= 65534) {
            written += CopyWidened(text.data(), copied, p, widen, out + written);
            out[written++] = static_cast<OLECHAR>(value);
            copied = q + 1;
        }
        from = q + 1;
    }
    return written + CopyWidened(text.data(), copied, n, widen, out + written);
}

OLECHAR ByteValue(char ch)
{
    return static_cast<OLECHAR>(static_cast<unsigned char>(ch));
}

OLECHAR SameUnit(OLECHAR ch)
{
    return ch;
}

// A new string from an ...Into conversion that writes at most `room` units.
template <typename Convert>
WideString IntoString(std::size_t room, Convert convert)
{
    WideString out(room, OLECHAR(0));
    out.resize(convert(out.data()));
    return out;
}

} // namespace

bool IsAscii(std::string_view text)
{
    // Word by word: a word with no high byte can hold a zero byte only among ASCII bytes, and
    // only the bytes before the first zero byte count.
    std::size_t i = 0;
    for (std::uint64_t word; i + sizeof word <= text.size(); i += sizeof word) {
        std::memcpy(&word, text.data() + i, sizeof word);
        if (word & 0x8080808080808080ull)
            break;
        if ((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull)
            return true; // has a zero byte
    }
    for (; i < text.size(); ++i) {
        if (text[i] == '\0')
            return true;
        if (IsHighByte(text[i]))
            return false;
    }
    return true;
}

std::size_t AsciiToWideInto(std::string_view text, OLECHAR* out)
{
    if (!IsAscii(text))
        throw EStrConversion();
    return CopyWidened(text.data(), 0, text.size(), ByteValue, out);
}

WideString AsciiToWide(std::string_view text)
{
    return IntoString(text.size(), [&](OLECHAR* out) { return AsciiToWideInto(text, out); });
}

void AsciiToLower(std::string& text)
{
    for (const char ch : text) {
        if (IsHighByte(ch))
            throw EStrConversion();
    }
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    }
}

std::size_t Utf8ToWideInto(std::string_view text, OLECHAR* out)
{
    const std::locale locale(std::locale::classic(), new detail::utf8_codecvt_facet);
    const auto& facet = std::use_facet<Facet>(locale);
    std::vector<wchar_t> scratch;
    std::size_t written = 0;
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        // ASCII needs no checking: pass over it a word at a time.
        for (std::uint64_t word; i + sizeof word <= text.size() && i - runStart < kRunBytes; i += sizeof word) {
            std::memcpy(&word, text.data() + i, sizeof word);
            if (word & 0x8080808080808080ull)
                break;
        }
        if (i == text.size())
            break;
        char32_t codePoint = 0;
        const std::size_t length = ValidSequence(text, i, codePoint);
        if (length == 0)
            throw EStrConversion();
        if (length == 4) {
            written += DecodeBmpRun(facet, text.data() + runStart, text.data() + i, scratch, out + written);
            written += WriteSurrogatePair(codePoint, out + written);
            runStart = i + length;
        } else if (i - runStart >= kRunBytes) {
            written += DecodeBmpRun(facet, text.data() + runStart, text.data() + i, scratch, out + written);
            runStart = i;
        }
        i += length;
    }
    return written + DecodeBmpRun(facet, text.data() + runStart, text.data() + text.size(), scratch, out + written);
}

WideString Utf8ToWide(std::string_view text)
{
    return IntoString(text.size(), [&](OLECHAR* out) { return Utf8ToWideInto(text, out); });
}

std::size_t CodePageUnits(std::string_view text, std::int32_t codePage)
{
    const UINT page = static_cast<UINT>(codePage);
    const std::size_t length = std::min(text.find('\0'), text.size()); // the bytes before the first zero byte
    if (length == 0) {
        // Nothing to convert, but an unknown code page still fails.
        if (MultiByteToWideChar(page, 0, "", -1, nullptr, 0) <= 0)
            throw EStrConversion();
        return 0;
    }
    if (length > static_cast<std::size_t>(INT_MAX))
        throw EStrConversion();
    const int needed = MultiByteToWideChar(page, 0, text.data(), static_cast<int>(length), nullptr, 0);
    if (needed <= 0)
        throw EStrConversion();
    return static_cast<std::size_t>(needed);
}

std::size_t CodePageToWideInto(std::string_view text, std::int32_t codePage, OLECHAR* out, std::size_t units)
{
    const std::size_t length = std::min(text.find('\0'), text.size());
    if (length == 0 || units == 0)
        return 0;
    if (length > static_cast<std::size_t>(INT_MAX) || units > static_cast<std::size_t>(INT_MAX))
        throw EStrConversion();
    const int written = MultiByteToWideChar(static_cast<UINT>(codePage), 0, text.data(), static_cast<int>(length), out,
                                            static_cast<int>(units));
    if (written <= 0 || static_cast<std::size_t>(written) != units)
        throw EStrConversion();
    return units;
}

WideString CodePageToWide(std::string_view text, std::int32_t codePage)
{
    const std::size_t units = CodePageUnits(text, codePage);
    return IntoString(units, [&](OLECHAR* out) { return CodePageToWideInto(text, codePage, out, units); });
}

std::size_t AsciiRefsToWideInto(std::string_view text, OLECHAR* out)
{
    if (!IsAscii(text))
        throw EStrConversion();
    return DecodeRefs(text, ByteValue, out);
}

WideString AsciiRefsToWide(std::string_view text)
{
    return IntoString(text.size(), [&](OLECHAR* out) { return AsciiRefsToWideInto(text, out); });
}

std::size_t DecodeCharRefsInPlace(OLECHAR* text, std::size_t length)
{
    return DecodeRefs(std::basic_string_view<OLECHAR>(text, length), SameUnit, text);
}

WideString DecodeCharRefs(std::basic_string_view<OLECHAR> text)
{
    WideString out(text);
    out.resize(DecodeCharRefsInPlace(out.data(), out.size()));
    return out;
}

std::size_t WidenBytesInto(std::string_view text, OLECHAR* out)
{
    return CopyWidened(text.data(), 0, text.size(), ByteValue, out);
}

WideString WidenBytes(std::string_view text)
{
    return IntoString(text.size(), [&](OLECHAR* out) { return WidenBytesInto(text, out); });
}

} // namespace textconv
