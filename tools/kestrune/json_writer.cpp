#include "tools/kestrune/json_writer.h"

#include <cstdio>

namespace kestrune {

namespace {

void AppendEscape(std::string& out, std::uint32_t unit)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
    out += buffer;
}

// Escapes for the ASCII range; false when the character needs none.
bool AppendAsciiEscape(std::string& out, std::uint32_t c)
{
    switch (c) {
    case '"': out += "\\\""; return true;
    case '\\': out += "\\\\"; return true;
    case '\n': out += "\\n"; return true;
    case '\r': out += "\\r"; return true;
    case '\t': out += "\\t"; return true;
    case '\b': out += "\\b"; return true;
    case '\f': out += "\\f"; return true;
    default:
        if (c < 0x20) {
            AppendEscape(out, c);
            return true;
        }
        return false;
    }
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string JsonWriter::Quote(std::u16string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const std::uint32_t low = text[++i];
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendEscape(out, u);
        } else if (!AppendAsciiEscape(out, u)) {
            AppendUtf8(out, u);
        }
    }
    out += '"';
    return out;
}

std::string JsonWriter::QuoteUtf8(std::string_view text)
{
    std::string out = "\"";
    for (char c : text)
        if (!AppendAsciiEscape(out, static_cast<unsigned char>(c)))
            out += c;
    out += '"';
    return out;
}

void JsonWriter::NewLine()
{
    if (!indent_)
        return;
    out_ << '\n';
    for (std::size_t i = 0; i < hasElement_.size(); ++i)
        out_ << "  ";
}

void JsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasElement_.empty()) {
        if (hasElement_.back())
            out_ << ',';
        hasElement_.back() = true;
        NewLine();
    }
}

void JsonWriter::Close(char bracket)
{
    const bool hadElements = hasElement_.back();
    hasElement_.pop_back();
    if (hadElements)
        NewLine();
    out_ << bracket;
}

void JsonWriter::BeginObject()
{
    BeforeValue();
    out_ << '{';
    hasElement_.push_back(false);
}

void JsonWriter::EndObject()
{
    Close('}');
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    out_ << '[';
    hasElement_.push_back(false);
}

void JsonWriter::EndArray()
{
    Close(']');
}

void JsonWriter::Key(std::string_view name)
{
    BeforeValue();
    out_ << QuoteUtf8(name) << (indent_ ? ": " : ":");
    afterKey_ = true;
}

void JsonWriter::String(std::u16string_view text)
{
    BeforeValue();
    out_ << Quote(text);
}

void JsonWriter::Utf8String(std::string_view text)
{
    BeforeValue();
    out_ << QuoteUtf8(text);
}

void JsonWriter::Number(std::int64_t value)
{
    BeforeValue();
    out_ << value;
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    out_ << (value ? "true" : "false");
}

void JsonWriter::Null()
{
    BeforeValue();
    out_ << "null";
}

} // namespace kestrune
