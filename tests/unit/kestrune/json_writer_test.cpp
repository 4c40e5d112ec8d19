#include "tools/kestrune/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using kestrune::JsonWriter;

TEST(JsonWriter, WritesUtf16AsUtf8AndEscapesWhatJsonRequires)
{
    EXPECT_EQ(JsonWriter::Quote(u"plain"), "\"plain\"");
    EXPECT_EQ(JsonWriter::Quote(u"q\"b\\n\nt\tc\x01"), "\"q\\\"b\\\\n\\nt\\tc\\u0001\"");
    EXPECT_EQ(JsonWriter::Quote(u"Café – 履歴"), "\"Caf\xC3\xA9 \xE2\x80\x93 \xE5\xB1\xA5\xE6\xAD\xB4\"");
    // A surrogate pair becomes one four-byte sequence.
    EXPECT_EQ(JsonWriter::Quote(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
    // Lone surrogates cannot be UTF-8: they are escaped, high or low, at the end or in the middle.
    EXPECT_EQ(JsonWriter::Quote(std::u16string(1, char16_t(0xD83D))), "\"\\uD83D\"");
    EXPECT_EQ(JsonWriter::Quote(std::u16string{char16_t(0xDE00), u'x'}), "\"\\uDE00x\"");
    EXPECT_EQ(JsonWriter::Quote(std::u16string{char16_t(0xD83D), u'x', char16_t(0xD83D), char16_t(0xDE00)}),
              "\"\\uD83Dx\xF0\x9F\x98\x80\"");
    // Embedded NULs survive.
    EXPECT_EQ(JsonWriter::Quote(std::u16string(u"a\0b", 3)), "\"a\\u0000b\"");
}

TEST(JsonWriter, PlacesCommasAndIndentation)
{
    std::ostringstream compact;
    JsonWriter c(compact);
    c.BeginObject();
    c.Key("a");
    c.BeginArray();
    c.Number(1);
    c.Bool(false);
    c.Null();
    c.EndArray();
    c.Key("b");
    c.BeginObject();
    c.EndObject();
    c.Key("c");
    c.BeginArray();
    c.EndArray();
    c.EndObject();
    EXPECT_EQ(compact.str(), "{\"a\":[1,false,null],\"b\":{},\"c\":[]}");

    std::ostringstream pretty;
    JsonWriter p(pretty, true);
    p.BeginObject();
    p.Key("a");
    p.BeginArray();
    p.Number(1);
    p.Utf8String("x");
    p.EndArray();
    p.Key("e");
    p.BeginArray();
    p.EndArray();
    p.EndObject();
    EXPECT_EQ(pretty.str(), "{\n  \"a\": [\n    1,\n    \"x\"\n  ],\n  \"e\": []\n}");
}

} // namespace
