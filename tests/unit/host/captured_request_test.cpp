#include "host/page_host.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using host_test::BinaryRead;
using host_test::ServerVariable;
using host_test::W;

std::filesystem::path Sample(const char* name)
{
    return std::filesystem::path(KESTRUNE_TEST_DATA_DIR) / "requests" / name;
}

std::string FileBody(const char* name)
{
    std::ifstream in(Sample(name), std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.substr(all.find("\r\n\r\n") + 4);
}

std::string ReadAll(IRequest* request, LONG piece)
{
    std::string body;
    for (;;) {
        const auto read = BinaryRead(request, piece);
        EXPECT_EQ(S_OK, read.hr);
        if (read.hr != S_OK || read.count == 0)
            return body;
        EXPECT_LE(read.count, piece);
        body += read.bytes;
    }
}

TEST(CapturedRequest, MultipartPostGivesItsVariablesAndItsBody)
{
    auto page = host::OpenCapturedPage(Sample("multipart_post_crlf.http"));
    auto request = host_test::RequestOf(page.Get());
    LONG total = 0;
    ASSERT_EQ(S_OK, request->get_TotalBytes(&total));
    EXPECT_EQ(185, total);
    EXPECT_EQ(W("POST"), ServerVariable(request.Get(), OLESTR("REQUEST_METHOD")));
    EXPECT_EQ(W("multipart/form-data; boundary=AaB03x"), ServerVariable(request.Get(), OLESTR("HTTP_Content_Type")));
    EXPECT_EQ(W("text/html, */*"), ServerVariable(request.Get(), OLESTR("HTTP_ACCEPT")));
    EXPECT_EQ(W("spaced value"), ServerVariable(request.Get(), OLESTR("HTTP_X_CUSTOM_HEADER")));
    EXPECT_EQ(W("mode=1"), ServerVariable(request.Get(), OLESTR("QUERY_STRING")));
    EXPECT_EQ(W("/upload.asp"), ServerVariable(request.Get(), OLESTR("URL")));
    EXPECT_EQ(W("HTTP/1.1"), ServerVariable(request.Get(), OLESTR("SERVER_PROTOCOL")));
    EXPECT_EQ(FileBody("multipart_post_crlf.http"), ReadAll(request.Get(), 7));
}

TEST(CapturedRequest, BodyLargerThan8192BytesIsReadFromTheFileInPieces)
{
    auto page = host::OpenCapturedPage(Sample("body_larger_than_read_buffer.http"));
    auto request = host_test::RequestOf(page.Get());
    const auto first = BinaryRead(request.Get(), 8192);
    EXPECT_EQ(8192, first.count);
    const auto second = BinaryRead(request.Get(), 8092); // asks for less after keeping 100 bytes
    EXPECT_EQ(8092, second.count);
    const auto third = BinaryRead(request.Get(), 8192);
    EXPECT_EQ(20000 - 8192 - 8092, third.count);
    EXPECT_EQ(0, BinaryRead(request.Get(), 8192).count);
    EXPECT_EQ(host_test::PatternBody(20000), first.bytes + second.bytes + third.bytes);
}

TEST(CapturedRequest, ContentLengthBeyondTheFileEndsTheBodyEarlyAndShortOfItLimitsIt)
{
    auto beyond = host::OpenCapturedPage(Sample("content_length_beyond_file_end.http"));
    auto request = host_test::RequestOf(beyond.Get());
    LONG total = 0;
    request->get_TotalBytes(&total);
    EXPECT_EQ(5000, total);
    EXPECT_EQ(FileBody("content_length_beyond_file_end.http"), ReadAll(request.Get(), 8192));
    EXPECT_EQ(0, BinaryRead(request.Get(), 8192).count);

    auto shorter = host::OpenCapturedPage(Sample("content_length_short_of_file_end.http"));
    request = host_test::RequestOf(shorter.Get());
    EXPECT_EQ("0123456789", ReadAll(request.Get(), 3));
}

TEST(CapturedRequest, LenientHeadsAreRead)
{
    auto lf = host::OpenCapturedPage(Sample("lf_endings_and_folded_header.http"));
    auto request = host_test::RequestOf(lf.Get());
    EXPECT_EQ(W("post"), ServerVariable(request.Get(), OLESTR("REQUEST_METHOD")));
    EXPECT_EQ(W("multipart/form-data; boundary=xyz"), ServerVariable(request.Get(), OLESTR("CONTENT_TYPE")));
    EXPECT_EQ("BODY", ReadAll(request.Get(), 8192));

    auto get = host::OpenCapturedPage(Sample("get_without_blank_line.http"));
    request = host_test::RequestOf(get.Get());
    LONG total = -1;
    request->get_TotalBytes(&total);
    EXPECT_EQ(0, total);
    EXPECT_EQ(W("example"), ServerVariable(request.Get(), OLESTR("HTTP_HOST")));
    EXPECT_EQ(W("a=b"), ServerVariable(request.Get(), OLESTR("QUERY_STRING")));
    EXPECT_EQ("", ReadAll(request.Get(), 8192));
}

TEST(CapturedRequest, UnsupportedOrMissingFilesAreRefusedWithAReason)
{
    EXPECT_THROW(host::OpenCapturedPage(Sample("chunked_transfer_encoding.http")), host::THttpRequestHead::EBadRequest);
    try {
        host::OpenCapturedPage(Sample("no_such_file.http"));
        FAIL() << "a missing file was opened";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("no_such_file.http"));
    }
}

} // namespace
