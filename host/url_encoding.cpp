#include "host/url_encoding.h"

namespace host {

namespace {

int HexValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string DecodeOrKeep(std::string_view text)
{
    std::optional<std::string> decoded = PercentDecode(text, true);
    return decoded ? std::move(*decoded) : std::string(text);
}

} // namespace

std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> ParseUrlEncoded(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!text.empty()) {
        const std::size_t end = text.find('&');
        const std::string_view piece = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (piece.empty())
            continue;
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos)
            pairs.emplace_back(DecodeOrKeep(piece), std::string());
        else
            pairs.emplace_back(DecodeOrKeep(piece.substr(0, equals)), DecodeOrKeep(piece.substr(equals + 1)));
    }
    return pairs;
}

std::string UrlEncode(std::string_view bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '*') {
            out.push_back(c);
        } else if (byte == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

} // namespace host
