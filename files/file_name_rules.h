#pragma once
// The rules that UploadedFile applies to client file names: the safe name (the last path component
// as Windows would store it, without the characters that file systems reject) and the extension of
// that name. They work on UTF-16 code units, up to the first NUL; only device names are compared
// without case.
//
//   SafeFileName(u"C:\\up\\shell.asp. ")        == u"shell.asp"
//   StoredFileExtension(u"C:\\up\\shell.asp. ") == u"asp"
//   SafeFileName(u"nul.txt")                     == u"_nul.txt"
//
// Contract: StoredFileExtension(p) == FileExtension(SafeFileName(p)) for every p, so a page that
// checks the extension and stores the file under the safe name stores what it checked.

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
    case '?':
    case '*':
    case '\\':
    case '/':
    case ':':
    case '<':
    case '>':
    case '|':
    case '"': return true;
    default: return false;
    }
}

/// True for the characters that Windows drops from the end of a name it opens: space and full stop.
template <class CharT>
constexpr bool IsDroppedAtNameEnd(CharT c) noexcept
{
    return c == CharT(' ') || c == CharT('.');
}

namespace detail {
/// True when `text` is `word` (upper-case ASCII), ASCII letters compared without case.
template <class CharT>
constexpr bool IsAsciiWordIgnoringCase(std::basic_string_view<CharT> text, std::string_view word) noexcept
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<CharT>>(text[i]));
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        if (c != static_cast<std::uint32_t>(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}
} // namespace detail

/// True when `stem` names a device that Windows opens in place of a file, in any folder and with
/// any extension: CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, COM and LPT followed by a
/// superscript 1, 2 or 3 (U+00B9, U+00B2, U+00B3), CONIN$ and CONOUT$; letters compared without case.
template <class CharT>
constexpr bool IsReservedDeviceStem(std::basic_string_view<CharT> stem) noexcept
{
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (detail::IsAsciiWordIgnoringCase(stem, device))
            return true;
    }
    if (stem.size() != 4)
        return false;
    const std::basic_string_view<CharT> prefix = stem.substr(0, 3);
    if (!detail::IsAsciiWordIgnoringCase(prefix, "COM") && !detail::IsAsciiWordIgnoringCase(prefix, "LPT"))
        return false;
    const auto number = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<CharT>>(stem[3]));
    return (number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
}

/// True when the file name `name` (its last path component) would open a device: its stem, the
/// part before its first full stop without the spaces that end it, is a reserved device name. So
/// "nul.txt", "CON .jpg" and "com1.tar.gz" do, "_nul.txt" and "nul_.txt" do not.
template <class CharT>
constexpr bool NamesReservedDevice(std::basic_string_view<CharT> name) noexcept
{
    std::basic_string_view<CharT> stem = name.substr(0, name.find(CharT('.')));
    while (!stem.empty() && stem.back() == CharT(' '))
        stem.remove_suffix(1);
    return IsReservedDeviceStem(stem);
}

namespace detail {
/// Shortens `safe` to at most 255 code units. The extension stays whole and the end of the part
/// before it goes; when the extension alone leaves no room for that part, the name keeps its last
/// 255 units, so that no shortened extension is made up.
template <class CharT>
void LimitSafeNameLength(std::basic_string<CharT>& safe)
{
    constexpr std::size_t kMaxLength = 255;
    if (safe.size() <= kMaxLength)
        return;
    const std::size_t dot = safe.rfind(CharT('.'));
    const std::size_t extensionLength = dot == std::basic_string<CharT>::npos ? 0 : safe.size() - dot - 1;
    if (extensionLength == 0) {
        safe.resize(kMaxLength);
        while (!safe.empty() && IsDroppedAtNameEnd(safe.back()))
            safe.pop_back();
    } else if (extensionLength + 2 <= kMaxLength) {
        // Spaces or dots at the end of the shortened stem stay: they are inside the name.
        safe.erase(kMaxLength - extensionLength - 1, safe.size() - kMaxLength);
    } else {
        safe.erase(0, safe.size() - kMaxLength);
    }
}
} // namespace detail

/// The safe form of a client file name: the part after the last slash or backslash, without the
/// characters of IsUnsafeFileNameChar and without trailing spaces and full stops (Windows would
/// drop them), at most 255 code units (see detail::LimitSafeNameLength). A name that would open a
/// device (NamesReservedDevice: "nul.txt", "CON.jpg") gets a leading underscore, so that it is
/// stored as an ordinary file. May be empty. Leading dots and spaces are left as they are.
template <class CharT>
std::basic_string<CharT> SafeFileName(std::basic_string_view<CharT> name)
{
    name = detail::UpToFirstNul(name);
    for (std::size_t i = name.size(); i-- > 0;) {
        if (name[i] == CharT('\\') || name[i] == CharT('/')) {
            name.remove_prefix(i + 1);
            break;
        }
    }
    std::basic_string<CharT> safe;
    for (CharT c : name) {
        if (!IsUnsafeFileNameChar(c))
            safe.push_back(c);
    }
    while (!safe.empty() && IsDroppedAtNameEnd(safe.back()))
        safe.pop_back();
    detail::LimitSafeNameLength(safe);
    if (NamesReservedDevice(std::basic_string_view<CharT>(safe))) {
        safe.insert(safe.begin(), CharT('_'));
        detail::LimitSafeNameLength(safe); // the stem loses its end, the underscore stays
    }
    return safe;
}

/// The extension of the name SafeFileName makes of `path`: what Windows stores when a page saves the
/// file under its safe name. "report.final.PDF" gives "PDF"; "shell.asp. " gives "asp";
/// "C:\\dir.old\\readme" and "archive." give "".
template <class CharT>
std::basic_string<CharT> StoredFileExtension(std::basic_string_view<CharT> path)
{
    const std::basic_string<CharT> safe = SafeFileName(path);
    return FileExtension(std::basic_string_view<CharT>(safe));
}

} // namespace utils
