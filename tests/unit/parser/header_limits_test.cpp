// Header values longer than any real one are read to their end but not kept: the parse costs
// memory for what it keeps, not for what a hostile body sends. Also the text content buffer and
// the blank counter under sizes that would overflow a naive one.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "parser/byte_buffer.h"
#include "parser/receivers.h"
#include "parser/text_conversion.h"
#include "tests/unit/parser/parse_harness.h"

namespace {

using namespace parser_test;

const std::string kHuge(parser::CStrReceiver::kMaxLength + 1, 'n');
const std::string kLongest(parser::CStrReceiver::kMaxLength, 'n');

std::string Field(const std::string& disposition, const std::string& content, const std::string& extra = "")
{
    return "--XyZzy42\r\n" + extra + "Content-Disposition: form-data; " + disposition + "\r\n\r\n" + content + "\r\n";
}

TParseResult ParseOnce(const std::string& body)
{
    TParseSetup setup;
    setup.plan = {8192};
    return Parse(body, setup);
}

TEST(HeaderLimits, OverlongNamesAndValuesDropTheirLineButNotTheParse)
{
    const std::string body = Field("name=\"first\"", "1") +
                             Field("name=\"" + kHuge + "\"", "dropped: its only disposition is ignored") +
                             Field("name=\"f\"; filename=\"" + kHuge + "\"", "dropped too") +
                             Field("name=\"second\"", "2", "X-" + kHuge + ": x\r\n") +
                             Field("name=\"third\"", "3", "X-Pad: " + kHuge + "\r\n") +
                             Field("name=\"typed\"", "4", "Content-Type: " + kHuge + "\r\n") + "--XyZzy42--\r\n";
    const TParseResult result = ParseOnce(body);
    ASSERT_EQ(result.outcome, EOutcome::Ok);
    // An overlong header name makes its line malformed, which drops the part; an unknown
    // header's value is never kept; an overlong type counts as empty and is ignored.
    ASSERT_EQ(result.fields.size(), 3u);
    EXPECT_EQ(result.fields[0], Text("first", "1"));
    EXPECT_EQ(result.fields[1], Text("third", "3"));
    EXPECT_EQ(result.fields[2], Text("typed", "4"));
    EXPECT_EQ(result.filesLeft, 0u);
    EXPECT_TRUE(result.sourceExhausted);
}

TEST(HeaderLimits, ValuesUpToTheLimitAreKept)
{
    const TParseResult result =
        ParseOnce(Field("name=\"f\"; filename=\"" + kLongest + "\"", "content") + "--XyZzy42--\r\n");
    ASSERT_EQ(result.outcome, EOutcome::Ok);
    ASSERT_EQ(result.fields.size(), 1u);
    EXPECT_EQ(result.fields[0].fileName.size(), kLongest.size());
    EXPECT_EQ(result.fields[0].data, "content");
}

TEST(HeaderLimits, AnUnterminatedQuoteRunsToTheEndAndKeepsTheFieldsBefore)
{
    std::string body = Field("name=\"first\"", "1") + "--XyZzy42\r\nContent-Disposition: form-data; name=\"a";
    for (int i = 0; i < 300; ++i)
        body += std::string(8000, 'q') + "\r\n--XyZzy42\r\n";
    const TParseResult result = ParseOnce(body);
    ASSERT_EQ(result.outcome, EOutcome::Ok);
    ASSERT_EQ(result.fields.size(), 1u);
    EXPECT_EQ(result.fields[0], Text("first", "1"));
    EXPECT_TRUE(result.sourceExhausted);
}

TEST(HeaderLimits, TheReceiverKeepsAtMostTheLimitAndSaysSo)
{
    parser::CStrReceiver text;
    const std::string half(parser::CStrReceiver::kMaxLength / 2, 'h');
    text.Receive(half.data(), static_cast<std::int32_t>(half.size()));
    text.Receive(half.data(), static_cast<std::int32_t>(half.size()));
    EXPECT_FALSE(text.Overflowed());
    text.Receive("x", 1);
    EXPECT_TRUE(text.Overflowed());
    EXPECT_EQ(text.Str().size(), parser::CStrReceiver::kMaxLength);
    text.Clear();
    EXPECT_FALSE(text.Overflowed());
    EXPECT_TRUE(text.Str().empty());

    parser::CCounterReceiver blanks;
    blanks.Receive(nullptr, INT32_MAX - 5);
    blanks.Receive(nullptr, 10);
    EXPECT_EQ(blanks.total, INT32_MAX);
}

TEST(ByteBuffer, GrowsWithoutLosingBytes)
{
    parser::CByteBuffer buffer;
    EXPECT_TRUE(buffer.Empty());
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string piece(static_cast<std::size_t>(i % 97 + 1), static_cast<char>('a' + i % 26));
        buffer.Append(piece.data(), piece.size());
        expected += piece;
    }
    EXPECT_EQ(buffer.View(), expected);
    buffer.Reserve(10); // never shrinks
    EXPECT_EQ(buffer.View(), expected);
}

TEST(LongText, Utf8DecodesTheSameAcrossItsInternalBlocks)
{
    // 2-, 3- and 4-byte characters in a text far longer than one decoding block, so that block
    // ends fall everywhere, also right before a surrogate pair.
    std::string text;
    WideString expected;
    for (int i = 0; i < 20000; ++i) {
        text += "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
        expected += OLESTR("a\u00E9\u20AC");
        expected += static_cast<OLECHAR>(0xD83D);
        expected += static_cast<OLECHAR>(0xDE00);
    }
    EXPECT_TRUE(textconv::Utf8ToWide(text) == expected);
    EXPECT_TRUE(textconv::AsciiRefsToWide(std::string(50000, 'z') + "&#65;") == WideString(50000, 'z') + OLESTR("A"));
}

} // namespace
