// Names compared without regard to the case of ASCII letters, as HTTP compares parameter and
// field names and ASP compares server variables, member names and the names of stored values: A-Z
// and a-z are the same, every other character (non-ASCII letters included) must match exactly.
//
//   com::EqualsIgnoringAsciiCase("Content-Type", "content-type");                  // true
//   com::EqualsIgnoringAsciiCase(OLESTR("HTTP_X"), WideString(OLESTR("http_x")));   // true
//   char lower = com::AsciiLower('Q');                                              // q
#pragma once

#include "platform/win.h"

#include <string_view>

namespace com {

/// c with A-Z turned into a-z; every other character as it is.
template <class Char>
constexpr Char AsciiLower(Char c) noexcept
{
    return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

/// c with a-z turned into A-Z; every other character as it is.
template <class Char>
constexpr Char AsciiUpper(Char c) noexcept
{
    return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

namespace detail {
template <class Char>
constexpr bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}
} // namespace detail

/// True when a and b are equal apart from the case of ASCII letters.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept
{
    return detail::EqualsIgnoringAsciiCase(a, b);
}

/// The same for wide text.
constexpr bool EqualsIgnoringAsciiCase(std::basic_string_view<OLECHAR> a, std::basic_string_view<OLECHAR> b) noexcept
{
    return detail::EqualsIgnoringAsciiCase(a, b);
}

} // namespace com
