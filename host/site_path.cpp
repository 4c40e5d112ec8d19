#include "host/site_path.h"

#include "com/ascii_case.h"
#include "host/url_encoding.h"

#include <vector>

namespace host {

namespace {

// True when text is well-formed UTF-8: no stray or missing continuation bytes, no over-long
// forms, no UTF-16 surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) noexcept
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // shorter forms are over-long
            else if (lead == 0xED)
                high = 0x9F; // 0xED 0xA0.. are surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F; // beyond U+10FFFF
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high)
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// A backslash, a ':' or a NUL, or bytes that are not UTF-8 (no file name can hold them).
bool HasForbiddenCharacter(std::string_view path) noexcept
{
    return path.find_first_of(std::string_view("\\:\0", 3)) != std::string_view::npos || !IsUtf8(path);
}

// Joins the segments of path onto base, dropping "." and empty segments. ".." removes the last
// segment when allowed and there is one; otherwise the path is refused.
std::optional<std::string> Normalize(std::vector<std::string> base, std::string_view path, bool allowParent)
{
    std::vector<std::string> segments = std::move(base);
    const bool trailingSlash = !path.empty() && path.back() == '/';
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view segment = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (!allowParent || segments.empty())
                return std::nullopt;
            segments.pop_back();
            continue;
        }
        segments.emplace_back(segment);
    }
    std::string joined;
    for (const std::string& segment : segments)
        joined += "/" + segment;
    if (joined.empty() || trailingSlash)
        joined += "/";
    return joined;
}

std::vector<std::string> FoldersOf(std::string_view page)
{
    std::vector<std::string> folders;
    const std::size_t last = page.rfind('/');
    std::string_view dir = last == std::string_view::npos ? std::string_view() : page.substr(0, last);
    while (!dir.empty()) {
        const std::size_t slash = dir.find('/');
        const std::string_view segment = dir.substr(0, slash);
        dir = slash == std::string_view::npos ? std::string_view() : dir.substr(slash + 1);
        if (!segment.empty())
            folders.emplace_back(segment);
    }
    return folders;
}

std::string LowerExtension(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string extension(path.substr(dot + 1));
    for (char& c : extension)
        c = com::AsciiLower(c);
    return extension;
}

} // namespace

std::optional<std::string> SitePathOfUrl(std::string_view target)
{
    target = target.substr(0, target.find('?'));
    if (target.empty() || target.front() != '/')
        return std::nullopt;
    const std::optional<std::string> decoded = PercentDecode(target, false);
    if (!decoded || HasForbiddenCharacter(*decoded))
        return std::nullopt;
    return Normalize({}, *decoded, false);
}

std::optional<std::string> SitePathOfInclude(std::string_view includingPage, std::string_view name, bool isVirtual)
{
    if (name.empty() || HasForbiddenCharacter(name))
        return std::nullopt;
    if (isVirtual || name.front() == '/')
        return Normalize({}, name, true);
    return Normalize(FoldersOf(includingPage), name, true);
}

std::optional<std::string_view> ContentTypeOf(std::string_view sitePath)
{
    struct TType {
        std::string_view extension, type;
    };
    static constexpr TType kTypes[] = {
        {"html", "text/html; charset=utf-8"},
        {"htm", "text/html; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"png", "image/png"},
        {"svg", "image/svg+xml"},
        {"ico", "image/x-icon"},
        {"txt", "text/plain; charset=utf-8"},
        {"json", "application/json"},
    };
    const std::string extension = LowerExtension(sitePath);
    for (const TType& t : kTypes)
        if (t.extension == extension)
            return t.type;
    return std::nullopt;
}

bool IsAspPage(std::string_view sitePath)
{
    return LowerExtension(sitePath) == "asp";
}

} // namespace host
