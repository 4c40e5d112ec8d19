#pragma once
// Finding the boundary parameter in a multipart content type, e.g.
//   multipart/form-data; boundary=AaB03x
//   Multipart/Form-Data; BOUNDARY="----=_Part 0"; charset=utf-8
// The parameter name is matched without regard to case and only as a whole name (after the start,
// a semicolon, a space or a tab). A quoted value is unquoted (a backslash escapes the next
// character); an unquoted value ends at a semicolon, a space, a tab or the end. A comma is a legal
// boundary character and stays.

#include <cstddef>
#include <string>
#include <string_view>

namespace utils {

namespace detail {
template <class CharT>
constexpr CharT AsciiLower(CharT c) noexcept
{
    return (c >= CharT('A') && c <= CharT('Z')) ? static_cast<CharT>(c - CharT('A') + CharT('a')) : c;
}

template <class CharT>
constexpr bool EndsUnquotedValue(CharT c) noexcept
{
    return c == CharT(';') || c == CharT(' ') || c == CharT('\t');
}
} // namespace detail

/// The boundary named in `contentType`, or an empty string when there is none, when its value is
/// empty, or when a quoted value has no closing quote.
template <class CharT>
std::basic_string<CharT> FindBoundaryParameter(std::basic_string_view<CharT> contentType)
{
    constexpr std::string_view kName = "boundary=";
    const std::size_t size = contentType.size();
    for (std::size_t at = 0; at + kName.size() <= size; ++at) {
        if (at > 0 && !detail::EndsUnquotedValue(contentType[at - 1]))
            continue;
        bool matches = true;
        for (std::size_t i = 0; i < kName.size() && matches; ++i)
            matches = detail::AsciiLower(contentType[at + i]) == CharT(kName[i]);
        if (!matches)
            continue;

        std::size_t pos = at + kName.size();
        std::basic_string<CharT> value;
        if (pos < size && contentType[pos] == CharT('"')) {
            for (++pos; pos < size; ++pos) {
                CharT c = contentType[pos];
                if (c == CharT('"'))
                    return value;
                if (c == CharT('\\') && pos + 1 < size)
                    c = contentType[++pos];
                value.push_back(c);
            }
            return {}; // no closing quote: not a usable value
        }
        while (pos < size && !detail::EndsUnquotedValue(contentType[pos]))
            value.push_back(contentType[pos++]);
        return value;
    }
    return {};
}

} // namespace utils
