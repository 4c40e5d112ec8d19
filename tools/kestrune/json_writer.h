#pragma once
// A small streaming JSON writer: commas and (optionally) two-space indentation placed
// automatically, UTF-16 text written as UTF-8 (an unpaired surrogate, which UTF-8 cannot carry, is written as a \uXXXX escape).

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class JsonWriter {
public:
    /// `indent`: one element per line, indented by two spaces a level; otherwise compact.
    explicit JsonWriter(std::ostream& out, bool indent = false) : out_(out), indent_(indent) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();

    /// Names the next value inside an object.
    void Key(std::string_view name);

    void String(std::u16string_view text);
    /// UTF-8 text, written as given apart from escaping.
    void Utf8String(std::string_view text);
    void Number(std::int64_t value);
    void Bool(bool value);
    void Null();

    /// The JSON string literal of UTF-16 text, quotes included.
    static std::string Quote(std::u16string_view text);
    /// The JSON string literal of UTF-8 text, quotes included.
    static std::string QuoteUtf8(std::string_view text);

private:
    void BeforeValue();
    void NewLine();
    void Close(char bracket);

    std::ostream& out_;
    // One flag per open container: whether it already holds an element.
    std::vector<bool> hasElement_;
    bool afterKey_ = false;
    bool indent_;
};

} // namespace kestrune
