#include "host/memory_body_source.h"
#include "host/page_host.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using host_test::BinaryRead;
using host_test::PatternBody;

com::ComPtr<host::CScriptingContext> PageOver(std::unique_ptr<host::CMemoryBodySource> source,
                                              std::size_t contentLength)
{
    return host::CreatePage(host::MakeRequestHead("POST", {}, contentLength), std::move(source));
}

TEST(BinaryRead, InPiecesOverABodyLargerThan8192BytesThenZeroAtTheEnd)
{
    const std::string body = PatternBody(20000);
    auto page = host::CreateMemoryPage("POST", {{"Content-Type", "application/octet-stream"}}, body);
    auto request = host_test::RequestOf(page.Get());

    LONG total = 0;
    ASSERT_EQ(S_OK, request->get_TotalBytes(&total));
    EXPECT_EQ(20000, total);

    std::string received;
    for (LONG expected : {8192, 8192, 3616}) {
        const auto read = BinaryRead(request.Get(), 8192);
        ASSERT_EQ(S_OK, read.hr);
        EXPECT_EQ(VT_I4, read.countType);
        EXPECT_EQ(expected, read.count);
        EXPECT_EQ(VT_ARRAY | VT_UI1, read.dataType);
        EXPECT_EQ(static_cast<std::size_t>(expected), read.bytes.size());
        received += read.bytes;
    }
    EXPECT_EQ(body, received);
    for (int i = 0; i < 2; ++i) { // the end of the body stays the end
        const auto end = BinaryRead(request.Get(), 8192);
        EXPECT_EQ(S_OK, end.hr);
        EXPECT_EQ(VT_I4, end.countType);
        EXPECT_EQ(0, end.count);
        EXPECT_EQ("", end.bytes);
    }
}

TEST(BinaryRead, NeverDeliversMoreThanAskedWhateverTheCountType)
{
    const std::string body = PatternBody(9000);
    auto page = host::CreateMemoryPage("POST", {}, body);
    auto request = host_test::RequestOf(page.Get());
    std::string received;
    // The sizes a parser keeping part of its buffer asks for, across the 8192-byte edge.
    const std::vector<std::pair<LONGLONG, VARTYPE>> asks = {{1, VT_I2},   {8191, VT_I4},  {0, VT_UI4},
                                                            {100, VT_I8}, {8092, VT_UI4}, {5000, VT_I2}};
    for (const auto& [wanted, type] : asks) {
        const auto read = BinaryRead(request.Get(), wanted, type);
        ASSERT_EQ(S_OK, read.hr);
        EXPECT_EQ(VT_I4, read.countType);
        EXPECT_LE(read.count, wanted);
        EXPECT_EQ(static_cast<std::size_t>(read.count), read.bytes.size());
        received += read.bytes;
    }
    EXPECT_EQ(body, received);
}

TEST(BinaryRead, ReturnsTheShortReadsOfItsSourceAndCallsItOnlyAsAsked)
{
    const std::string body = PatternBody(12000);
    auto source = std::make_unique<host::CMemoryBodySource>(body);
    source->SetPieceSizes({1, 7, 4093});
    host::CMemoryBodySource* raw = source.get();
    auto page = PageOver(std::move(source), body.size());
    auto request = host_test::RequestOf(page.Get());

    std::vector<std::pair<LONGLONG, LONG>> log;
    page->Request().SetReadObserver([&](LONGLONG asked, LONG got) { log.emplace_back(asked, got); });

    EXPECT_EQ(1, BinaryRead(request.Get(), 8192).count);
    EXPECT_EQ(1u, raw->Delivered()); // nothing read ahead
    EXPECT_EQ(3, BinaryRead(request.Get(), 3).count);
    EXPECT_EQ(4093, BinaryRead(request.Get(), 8192).count);
    std::string received = body.substr(0, 4097);
    for (;;) {
        const auto read = BinaryRead(request.Get(), 8192);
        ASSERT_EQ(S_OK, read.hr);
        if (read.count == 0)
            break;
        received += read.bytes;
    }
    EXPECT_EQ(body, received);
    EXPECT_EQ(12000, page->Request().BytesDelivered());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ((std::pair<LONGLONG, LONG>(8192, 1)), log[0]);
    EXPECT_EQ((std::pair<LONGLONG, LONG>(3, 3)), log[1]);
    EXPECT_EQ(0, log.back().second);
}

TEST(BinaryRead, StopsAtContentLengthAndEndsEarlyWhenTheSourceEnds)
{
    const std::string body = PatternBody(300);
    auto limited = PageOver(std::make_unique<host::CMemoryBodySource>(body), 100);
    auto request = host_test::RequestOf(limited.Get());
    const auto first = BinaryRead(request.Get(), 8192);
    EXPECT_EQ(body.substr(0, 100), first.bytes);
    EXPECT_EQ(0, BinaryRead(request.Get(), 8192).count);

    auto longer = PageOver(std::make_unique<host::CMemoryBodySource>(body), 1000000);
    request = host_test::RequestOf(longer.Get());
    LONG total = 0;
    request->get_TotalBytes(&total);
    EXPECT_EQ(1000000, total);
    EXPECT_EQ(body, BinaryRead(request.Get(), 0x7FFFFFFF, VT_I4).bytes);
    EXPECT_EQ(0, BinaryRead(request.Get(), 8192).count);

    auto empty = host::CreateMemoryPage("GET", {}, "");
    request = host_test::RequestOf(empty.Get());
    request->get_TotalBytes(&total);
    EXPECT_EQ(0, total);
    const auto none = BinaryRead(request.Get(), 8192);
    EXPECT_EQ(S_OK, none.hr);
    EXPECT_EQ(0, none.count);
}

TEST(BinaryRead, BadCountsAndFailingSourcesLeaveBothVariantsAndTheBodyAlone)
{
    const std::string body = PatternBody(10000);
    auto source = std::make_unique<host::CMemoryBodySource>(body);
    source->FailAt(8192, E_ACCESSDENIED);
    auto page = PageOver(std::move(source), body.size());
    auto request = host_test::RequestOf(page.Get());

    com::Variant count;
    com::Variant data;
    count.Get()->vt = VT_I4;
    count.Get()->lVal = -1;
    EXPECT_EQ(E_INVALIDARG, request->BinaryRead(count.Get(), data.Get()));
    EXPECT_EQ(VT_I4, count.Type());
    EXPECT_EQ(-1, count.Get()->lVal);
    EXPECT_EQ(VT_EMPTY, data.Type());

    count.Get()->vt = VT_R8;
    count.Get()->dblVal = 10.0;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, request->BinaryRead(count.Get(), data.Get()));
    EXPECT_EQ(VT_EMPTY, data.Type());
    EXPECT_EQ(E_POINTER, request->BinaryRead(nullptr, data.Get()));
    EXPECT_EQ(E_POINTER, request->BinaryRead(count.Get(), nullptr));
    EXPECT_EQ(0, page->Request().BytesDelivered());

    // A reference to an integer counts too, and the delivered number replaces it.
    LONG wanted = 8192;
    count.Clear();
    count.Get()->vt = VT_BYREF | VT_I4;
    count.Get()->plVal = &wanted;
    ASSERT_EQ(S_OK, request->BinaryRead(count.Get(), data.Get()));
    EXPECT_EQ(VT_I4, count.Type());
    EXPECT_EQ(8192, count.Get()->lVal);
    EXPECT_EQ(body.substr(0, 8192), host_test::BytesOf(*data.Get()));

    const auto failed = BinaryRead(request.Get(), 8192);
    EXPECT_EQ(E_ACCESSDENIED, failed.hr);
    EXPECT_EQ(VT_UI4, failed.countType);
    EXPECT_EQ(VT_EMPTY, failed.dataType);
    EXPECT_EQ(8192, page->Request().BytesDelivered());
}

} // namespace
