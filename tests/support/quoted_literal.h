#pragma once
// ReadQuotedLiteral: one double-quoted literal of a test data file (the hostile recipes, the parser
// cases), with the escapes \r \n \t \0 \" \\ and \xHH, so that any byte can be written on one
// line of text.
//
//   std::string bytes;
//   std::size_t after = testing_support::ReadQuotedLiteral(line, 0, bytes);   // npos: a mistake

#include <cstddef>
#include <string>

namespace testing_support {

namespace detail {

inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace detail

/// Reads the literal that starts at text[at] (after any spaces) and appends its bytes to out.
/// Returns the position after its closing quote, or std::string::npos when there is no literal
/// there, an escape is unknown or the quote is never closed.
inline std::size_t ReadQuotedLiteral(const std::string& text, std::size_t at, std::string& out)
{
    while (at < text.size() && text[at] == ' ')
        ++at;
    if (at >= text.size() || text[at] != '"')
        return std::string::npos;
    for (++at; at < text.size(); ++at) {
        char c = text[at];
        if (c == '"')
            return at + 1;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at >= text.size())
            return std::string::npos;
        switch (text[at]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            const int hi = at + 1 < text.size() ? detail::HexDigit(text[at + 1]) : -1;
            const int lo = at + 2 < text.size() ? detail::HexDigit(text[at + 2]) : -1;
            if (hi < 0 || lo < 0)
                return std::string::npos;
            out += static_cast<char>(hi * 16 + lo);
            at += 2;
            break;
        }
        default: return std::string::npos;
        }
    }
    return std::string::npos;
}

} // namespace testing_support
