#include "host/http_request_head.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

namespace {

using host::THttpRequestHead;

struct THeadAndRest {
    THttpRequestHead head;
    std::string rest;
};

THeadAndRest ReadHead(const std::string& text)
{
    std::istringstream in(text);
    THeadAndRest result{THttpRequestHead::Read(in), {}};
    in.clear();
    result.rest.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return result;
}

void ExpectRejected(const std::string& text)
{
    std::istringstream in(text);
    EXPECT_THROW(THttpRequestHead::Read(in), THttpRequestHead::EBadRequest) << text;
}

LONG ContentLengthOf(const std::string& headers)
{
    return ReadHead("POST / HTTP/1.1\r\n" + headers + "\r\n").head.ContentLength();
}

TEST(HttpRequestHead, ReadsRequestLineAndFieldsAndStopsAtTheFirstBodyByte)
{
    const auto [head, rest] = ReadHead("POST /up.asp?a=1&b=2 HTTP/1.1\r\n"
                                       "Host: x\r\n"
                                       "Content-Type:multipart/form-data; boundary=q\r\n"
                                       "X-Spaced: \t padded value \t\r\n"
                                       "\r\n"
                                       "\r\nbody\r\n\r\n");
    EXPECT_EQ("POST", head.method);
    EXPECT_EQ("/up.asp?a=1&b=2", head.target);
    EXPECT_EQ("HTTP/1.1", head.protocol);
    ASSERT_EQ(3u, head.headers.size());
    EXPECT_EQ("Content-Type", head.headers[1].first);
    EXPECT_EQ("multipart/form-data; boundary=q", head.headers[1].second);
    EXPECT_EQ("padded value", head.headers[2].second);
    EXPECT_EQ("\r\nbody\r\n\r\n", rest); // a body that starts with a blank line keeps it
    EXPECT_EQ("a=1&b=2", head.QueryString());
    EXPECT_EQ("/up.asp", head.Path());
}

TEST(HttpRequestHead, AcceptsBareLineFeedsLeadingBlankLinesFoldingAndAMissingEnd)
{
    const auto [head, rest] = ReadHead("\r\n\nGET / HTTP/1.0\nA: one\n  two\n\tthree\nB: b\n\nrest");
    EXPECT_EQ("GET", head.method);
    EXPECT_EQ("one two three", head.Header("a"));
    EXPECT_EQ("b", head.Header("B"));
    EXPECT_EQ("rest", rest);

    const auto unterminated = ReadHead("GET / HTTP/1.1\r\nHost: h");
    EXPECT_EQ("h", unterminated.head.Header("host"));
    EXPECT_EQ("", unterminated.rest);
}

TEST(HttpRequestHead, LooksFieldsUpWithoutCaseAndJoinsRepeatedOnes)
{
    const auto head = ReadHead("GET / HTTP/1.1\r\nAccept: a\r\nX: 1\r\naccept: b\r\nACCEPT: c\r\n\r\n").head;
    EXPECT_EQ("a, b, c", head.Header("Accept"));
    EXPECT_EQ("1", head.Header("x"));
    EXPECT_FALSE(head.Header("Cookie").has_value());
}

TEST(HttpRequestHead, RejectsMalformedHeads)
{
    ExpectRejected("");
    ExpectRejected("\r\n\r\n");
    ExpectRejected("GET /\r\n\r\n");           // no protocol
    ExpectRejected("GET  / HTTP/1.1\r\n\r\n"); // two spaces
    ExpectRejected("GET / HTTP/1.1 extra\r\n\r\n");
    ExpectRejected("G(T / HTTP/1.1\r\n\r\n"); // method not a token
    ExpectRejected("GET / FTP/1.1\r\n\r\n");
    ExpectRejected("GET / HTTP/1.1\r\nNo colon here\r\n\r\n");
    ExpectRejected("GET / HTTP/1.1\r\nBad Name: v\r\n\r\n");
    ExpectRejected("GET / HTTP/1.1\r\nName : v\r\n\r\n"); // space before the colon
    ExpectRejected("GET / HTTP/1.1\r\n folded first\r\n\r\n");
    const char withNul[] = "GET / HTTP/1.1\r\nA: nul\0here\r\n\r\n";
    ExpectRejected(std::string(withNul, sizeof withNul - 1));
}

TEST(HttpRequestHead, BoundsLineLengthAndFieldCount)
{
    ExpectRejected("GET / HTTP/1.1\r\nA: " + std::string(70000, 'x') + "\r\n\r\n");
    std::string many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 1001; ++i)
        many += "A: b\r\n";
    ExpectRejected(many + "\r\n");
}

TEST(HttpRequestHead, ContentLength)
{
    EXPECT_EQ(0, ContentLengthOf(""));
    EXPECT_EQ(0, ContentLengthOf("Content-Length: 0\r\n"));
    EXPECT_EQ(20000, ContentLengthOf("content-length:  20000 \r\n"));
    EXPECT_EQ(2147483647, ContentLengthOf("Content-Length: 2147483647\r\n"));
    EXPECT_EQ(12, ContentLengthOf("Content-Length: 12\r\nContent-Length: 012\r\n"));
    EXPECT_EQ(12, ContentLengthOf("Content-Length: 12, 12\r\n"));
    EXPECT_EQ(5, ContentLengthOf("Transfer-Encoding: identity\r\nContent-Length: 5\r\n"));
    for (const char* bad :
         {"Content-Length: 2147483648\r\n", "Content-Length: 99999999999999999999999\r\n", "Content-Length: -1\r\n",
          "Content-Length: +1\r\n", "Content-Length: 1e3\r\n", "Content-Length: 0x10\r\n", "Content-Length:\r\n",
          "Content-Length: 12, 13\r\n", "Content-Length: 12\r\nContent-Length: 13\r\n",
          "Transfer-Encoding: chunked\r\n", "Transfer-Encoding: gzip, chunked\r\nContent-Length: 5\r\n"})
        EXPECT_THROW(ContentLengthOf(bad), THttpRequestHead::EBadRequest) << bad;
}

} // namespace
