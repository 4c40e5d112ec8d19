#include "host/http_request_head.h"

#include "host/http_token.h"

#include <cstdint>

namespace host {

namespace {

// Bounds that keep a bogus file from being read into memory whole.
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxHead = 1024 * 1024;
constexpr std::size_t kMaxFields = 1000;

constexpr LONG kMaxContentLength = 2147483647;

using EBadRequest = THttpRequestHead::EBadRequest;

bool IsBlank(char c) noexcept
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) noexcept
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Reads one line without its CRLF or LF; false at the end of the stream with nothing read.
bool ReadLine(std::istream& in, std::string& line, std::size_t& headBytes)
{
    line.clear();
    std::streambuf* buf = in.rdbuf();
    for (;;) {
        const auto c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return !line.empty();
        }
        if (++headBytes > kMaxHead)
            throw EBadRequest("request head longer than 1048576 bytes");
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        if (line.size() == kMaxLine)
            throw EBadRequest("request head line longer than 65536 bytes");
        line.push_back(static_cast<char>(c));
    }
}

bool HasControlChar(std::string_view s) noexcept
{
    for (unsigned char c : s)
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return true;
    return false;
}

THttpRequestHead ParseRequestLine(const std::string& line)
{
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
    if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos)
        throw EBadRequest("request line is not 'METHOD TARGET HTTP/x.y'");
    THttpRequestHead head;
    head.method = line.substr(0, first);
    head.target = line.substr(first + 1, second - first - 1);
    head.protocol = line.substr(second + 1);
    if (!IsHttpToken(head.method))
        throw EBadRequest("request method is not a token");
    if (head.target.empty() || HasControlChar(head.target) || head.target.find('\t') != std::string::npos)
        throw EBadRequest("request target is empty or holds control characters");
    if (head.protocol.size() != 8 || head.protocol.compare(0, 5, "HTTP/") != 0 || head.protocol[5] < '0' ||
        head.protocol[5] > '9' || head.protocol[6] != '.' || head.protocol[7] < '0' || head.protocol[7] > '9')
        throw EBadRequest("request line does not end in HTTP/x.y");
    return head;
}

// One decimal Content-Length element; throws for anything else.
LONG ParseLength(std::string_view text)
{
    text = Trim(text);
    if (text.empty())
        throw EBadRequest("Content-Length is empty");
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            throw EBadRequest("Content-Length is not a decimal number");
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > static_cast<std::uint64_t>(kMaxContentLength))
            throw EBadRequest("Content-Length exceeds 2147483647");
    }
    return static_cast<LONG>(value);
}

} // namespace

THttpRequestHead THttpRequestHead::Read(std::istream& in)
{
    std::size_t headBytes = 0;
    std::string line;
    do {
        if (!ReadLine(in, line, headBytes))
            throw EBadRequest("no request line");
    } while (line.empty());

    THttpRequestHead head = ParseRequestLine(line);
    while (ReadLine(in, line, headBytes) && !line.empty()) {
        if (IsBlank(line.front())) {
            if (head.headers.empty())
                throw EBadRequest("continuation line before the first header field");
            if (HasControlChar(line))
                throw EBadRequest("header field value holds control characters");
            std::string& value = head.headers.back().second;
            const std::string_view more = Trim(line);
            if (!more.empty()) {
                if (!value.empty())
                    value.push_back(' ');
                value.append(more);
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            throw EBadRequest("header line without a colon");
        const std::string_view name(line.data(), colon);
        if (!IsHttpToken(name))
            throw EBadRequest("header field name is not a token");
        const std::string_view value = Trim(std::string_view(line).substr(colon + 1));
        if (HasControlChar(value))
            throw EBadRequest("header field value holds control characters");
        if (head.headers.size() == kMaxFields)
            throw EBadRequest("more than 1000 header fields");
        head.headers.emplace_back(std::string(name), std::string(value));
    }
    return head;
}

std::optional<std::string> THttpRequestHead::Header(std::string_view name) const
{
    std::optional<std::string> joined;
    for (const auto& [fieldName, value] : headers) {
        if (!com::EqualsIgnoringAsciiCase(fieldName, name))
            continue;
        if (joined)
            joined->append(", ").append(value);
        else
            joined = value;
    }
    return joined;
}

LONG THttpRequestHead::ContentLength() const
{
    if (const auto coding = Header("Transfer-Encoding")) {
        std::string_view rest = *coding;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (!com::EqualsIgnoringAsciiCase(Trim(rest.substr(0, comma)), "identity"))
                throw EBadRequest("Transfer-Encoding other than identity is not supported");
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
    const auto field = Header("Content-Length");
    if (!field)
        return 0;
    // Repeated fields and comma lists are accepted only when every element gives the same length.
    std::optional<LONG> length;
    std::string_view rest = *field;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const LONG value = ParseLength(rest.substr(0, comma));
        if (length && *length != value)
            throw EBadRequest("Content-Length values differ");
        length = value;
        if (comma == std::string_view::npos)
            break;
        rest = rest.substr(comma + 1);
    }
    return *length;
}

std::string THttpRequestHead::QueryString() const
{
    const std::size_t question = target.find('?');
    return question == std::string::npos ? std::string() : target.substr(question + 1);
}

std::string THttpRequestHead::Path() const
{
    return target.substr(0, target.find('?'));
}

} // namespace host
