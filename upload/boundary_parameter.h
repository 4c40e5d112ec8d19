#pragma once
// Finding the boundary parameter in a multipart content type, e.g.
//   multipart/form-data; boundary=AaB03x
//   Multipart/Form-Data; BOUNDARY="----=_Part 0"; charset=utf-8
// The content type is read as a media type followed by parameters (name=value), each value a
// token or a quoted string, so that text inside another parameter's quoted value is never taken
// for a parameter: in  x="a boundary=AAA b"; boundary=BBB  the boundary is BBB, as every other
// reader of the header (a firewall in front of the server included) sees it.
//
// The parameter name is matched without regard to case and only as a whole name. A quoted value
// is unquoted (a backslash escapes the next character); an unquoted value ends at a semicolon, a
// space, a tab or the end. A comma is a legal boundary character and stays. Parameters may be
// separated by blanks as well as by semicolons.

#include "com/ascii_case.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace utils {

namespace detail {
template <class CharT>
constexpr bool EndsUnquotedValue(CharT c) noexcept
{
    return c == CharT(';') || c == CharT(' ') || c == CharT('\t');
}

template <class CharT>
constexpr bool IsBoundaryName(std::basic_string_view<CharT> name) noexcept
{
    constexpr std::string_view kName = "boundary";
    if (name.size() != kName.size())
        return false;
    for (std::size_t i = 0; i < kName.size(); ++i) {
        if (com::AsciiLower(name[i]) != CharT(kName[i]))
            return false;
    }
    return true;
}

/// Reads the quoted string that starts at `pos` (on its opening quote) into `value`, unescaping
/// backslash pairs, and leaves `pos` after the closing quote. False when the quote is never closed.
template <class CharT>
bool ReadQuotedString(std::basic_string_view<CharT> text, std::size_t& pos, std::basic_string<CharT>& value)
{
    for (++pos; pos < text.size(); ++pos) {
        CharT c = text[pos];
        if (c == CharT('"')) {
            ++pos;
            return true;
        }
        if (c == CharT('\\') && pos + 1 < text.size())
            c = text[++pos];
        value.push_back(c);
    }
    return false;
}
} // namespace detail

/// The boundary named in `contentType`, or an empty string when there is none, when its value is
/// empty, when a quoted string is left open, or when two parameters are named boundary (then no
/// reader can tell which one the sender meant).
template <class CharT>
std::basic_string<CharT> FindBoundaryParameter(std::basic_string_view<CharT> contentType)
{
    const std::size_t size = contentType.size();
    std::size_t pos = 0;
    // The media type itself.
    while (pos < size && !detail::EndsUnquotedValue(contentType[pos]))
        ++pos;

    std::basic_string<CharT> boundary;
    bool found = false;
    while (pos < size) {
        if (detail::EndsUnquotedValue(contentType[pos])) {
            ++pos;
            continue;
        }
        // One parameter: a name, then "=" and a value; anything else up to the next separator is
        // skipped, a quoted string whole.
        const std::size_t nameStart = pos;
        while (pos < size && contentType[pos] != CharT('=') && contentType[pos] != CharT('"') &&
               !detail::EndsUnquotedValue(contentType[pos]))
            ++pos;
        const std::basic_string_view<CharT> name = contentType.substr(nameStart, pos - nameStart);
        std::basic_string<CharT> value;
        bool hasValue = false;
        if (pos < size && contentType[pos] == CharT('=')) {
            hasValue = true;
            ++pos;
            if (pos < size && contentType[pos] == CharT('"')) {
                if (!detail::ReadQuotedString(contentType, pos, value))
                    return {};
            } else {
                while (pos < size && !detail::EndsUnquotedValue(contentType[pos]))
                    value.push_back(contentType[pos++]);
            }
        } else if (pos < size && contentType[pos] == CharT('"')) {
            std::basic_string<CharT> skipped;
            if (!detail::ReadQuotedString(contentType, pos, skipped))
                return {};
        }
        if (hasValue && detail::IsBoundaryName(name)) {
            if (found)
                return {};
            found = true;
            boundary = std::move(value);
        }
    }
    return boundary;
}

} // namespace utils
