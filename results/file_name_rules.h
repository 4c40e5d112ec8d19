#pragma once
// The two rules that UploadedFile applies to client file names: the extension, and the safe name
// (the last path component with the characters that file systems reject removed). Both work on
// UTF-16 code units, up to the first NUL, with no case folding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace utils {

namespace detail {
template <class CharT>
std::basic_string_view<CharT> UpToFirstNul(std::basic_string_view<CharT> text) noexcept
{
    const auto nul = text.find(CharT(0));
    return nul == std::basic_string_view<CharT>::npos ? text : text.substr(0, nul);
}
} // namespace detail

/// What follows the last full stop of `path`, when no slash or backslash comes after it; else empty.
/// "report.final.PDF" gives "PDF", "C:\dir.old\readme" and "archive." give "".
template <class CharT>
std::basic_string<CharT> FileExtension(std::basic_string_view<CharT> path)
{
    path = detail::UpToFirstNul(path);
    for (std::size_t i = path.size(); i-- > 0;) {
        const CharT c = path[i];
        if (c == CharT('\\') || c == CharT('/'))
            return {};
        if (c == CharT('.'))
            return std::basic_string<CharT>(path.substr(i + 1));
    }
    return {};
}

/// True for the characters that a safe name drops: ? * \ / : < > | " and every code below 0x20.
template <class CharT>
constexpr bool IsUnsafeFileNameChar(CharT c) noexcept
{
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<CharT>>(c));
    if (unit < 0x20)
        return true;
    switch (unit) {
    case '?': case '*': case '\\': case '/': case ':': case '<': case '>': case '|': case '"':
        return true;
    default:
        return false;
    }
}

/// The safe form of a client file name: the part after the last slash or backslash, without the
/// characters of IsUnsafeFileNameChar, cut to 255 code units. May be empty. Device names, leading
/// and trailing dots and spaces are left as they are.
template <class CharT>
std::basic_string<CharT> SafeFileName(std::basic_string_view<CharT> name)
{
    constexpr std::size_t kMaxLength = 255;
    name = detail::UpToFirstNul(name);
    for (std::size_t i = name.size(); i-- > 0;) {
        if (name[i] == CharT('\\') || name[i] == CharT('/')) {
            name.remove_prefix(i + 1);
            break;
        }
    }
    std::basic_string<CharT> safe;
    for (CharT c : name) {
        if (IsUnsafeFileNameChar(c))
            continue;
        safe.push_back(c);
        if (safe.size() == kMaxLength)
            break;
    }
    return safe;
}

} // namespace utils
