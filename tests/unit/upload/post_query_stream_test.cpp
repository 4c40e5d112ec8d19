#include "host/memory_body_source.h"
#include "host/page_host.h"
#include "tests/unit/upload/recording_updater.h"
#include "upload/post_query_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using testing_support::RecordingUpdater;

std::string Pattern(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    return body;
}

// A Request over `body`, delivering it in pieces of the given sizes; records every BinaryRead.
struct RequestFixture {
    explicit RequestFixture(const std::string& body, std::vector<ULONG> pieces = {}, ULONGLONG failAt = ~0ull)
    {
        auto source = std::make_unique<host::CMemoryBodySource>(body);
        if (!pieces.empty())
            source->SetPieceSizes(std::move(pieces));
        if (failAt != ~0ull)
            source->FailAt(failAt, E_ACCESSDENIED);
        page = host::CreatePage(host::MakeRequestHead("POST", {}, body.size()), std::move(source));
        page->Request().SetReadObserver([this](LONGLONG asked, LONG got) { reads.emplace_back(asked, got); });
    }
    IRequest* Request() const { return &page->Request(); }

    com::ComPtr<host::CScriptingContext> page;
    std::vector<std::pair<LONGLONG, LONG>> reads;
};

std::string Buffered(const CPostQueryStream& s)
{
    return std::string(reinterpret_cast<const char*>(s.buffer), s.end);
}

TEST(PostQueryStream, FirstChunkIsReadAtConstructionAndABodyOfExactlyOneBufferEndsCleanly)
{
    const std::string body = Pattern(8192);
    RequestFixture request(body);
    RecordingUpdater updater;
    CPostQueryStream stream(request.Request(), &updater);
    EXPECT_EQ(stream.capacity, 8192);
    EXPECT_EQ(stream.position, 0u);
    EXPECT_EQ(Buffered(stream), body);
    EXPECT_EQ(request.reads.front().first, 8192);

    EXPECT_THROW(stream.ReadChunk(), parser::CDataSourceBase::ENoMoreData);
    EXPECT_EQ(stream.end, 0u);
    EXPECT_EQ(updater.bytes, 8192);
}

TEST(PostQueryStream, RefillKeepsTheTailAndAsksOnlyForWhatFits)
{
    const std::string body = Pattern(8192 + 9000);
    RequestFixture request(body);
    RecordingUpdater updater;
    CPostQueryStream stream(request.Request(), &updater);
    std::int32_t shift = 0;
    ASSERT_TRUE(stream.Refill(100, shift));
    EXPECT_EQ(shift, -8092);
    EXPECT_EQ(stream.position, 100u);
    EXPECT_EQ(stream.end, 8192u);
    EXPECT_EQ(request.reads.back().first, 8092);
    EXPECT_EQ(Buffered(stream), body.substr(8092, 8192));
    // Only new bytes are counted.
    EXPECT_EQ(updater.bytes, 8192 + 8092);

    // At the end of the body, Refill answers false and leaves the kept bytes readable.
    ASSERT_TRUE(stream.Refill(8192, shift) == false);
    ASSERT_TRUE(stream.Refill(10, shift));
    EXPECT_EQ(Buffered(stream), body.substr(body.size() - 10 - 908));
    EXPECT_FALSE(stream.Refill(50, shift));
    EXPECT_EQ(shift, static_cast<std::int32_t>(50 - (10 + 908)));
    EXPECT_EQ(stream.end, 50u);
    EXPECT_EQ(stream.position, 49u);
    EXPECT_EQ(Buffered(stream), body.substr(body.size() - 50));
    EXPECT_EQ(updater.bytes, static_cast<std::int64_t>(body.size()));
}

TEST(PostQueryStream, RefillWithNothingKeptReplacesTheBuffer)
{
    const std::string body = Pattern(5000 + 3000);
    RequestFixture request(body, {5000, 3000});
    CPostQueryStream stream(request.Request(), nullptr);
    ASSERT_EQ(stream.end, 5000u);
    std::int32_t shift = 0;
    ASSERT_TRUE(stream.Refill(0, shift));
    EXPECT_EQ(shift, -5000);
    EXPECT_EQ(stream.position, 0u);
    EXPECT_EQ(Buffered(stream), body.substr(5000));
    // The end of the body shows as ENoMoreData here, not as false.
    EXPECT_THROW(stream.Refill(0, shift), parser::CDataSourceBase::ENoMoreData);
    EXPECT_EQ(stream.end, 0u);
}

TEST(PostQueryStream, ShortReadsAreAccumulatedInOrder)
{
    const std::string body = Pattern(20000);
    RequestFixture request(body, {1, 7, 4093, 8191});
    RecordingUpdater updater;
    CPostQueryStream stream(request.Request(), &updater);
    std::string seen = Buffered(stream);
    std::int32_t shift = 0;
    for (;;) {
        // Keep the last 3 bytes each time, like a delimiter straddling two chunks.
        const std::uint32_t keep = std::min<std::uint32_t>(3, stream.end);
        if (!stream.Refill(keep, shift))
            break;
        seen += Buffered(stream).substr(keep);
    }
    EXPECT_EQ(seen, body);
    EXPECT_EQ(updater.bytes, 20000);
}

TEST(PostQueryStream, AnEmptyBodyGivesAnEmptyStream)
{
    RequestFixture request("");
    CPostQueryStream stream(request.Request(), nullptr);
    EXPECT_EQ(stream.end, 0u);
    EXPECT_EQ(stream.position, 0u);
}

TEST(PostQueryStream, ACancelIsSeenAfterTheChunkThatCompletesIt)
{
    const std::string body = Pattern(30000);
    {
        RequestFixture request(body);
        RecordingUpdater updater;
        updater.cancelAfterBytes = 0;
        EXPECT_THROW(CPostQueryStream(request.Request(), &updater), parser::CDataSourceBase::EUserCancelledUpload);
    }
    RequestFixture request(body);
    RecordingUpdater updater;
    CPostQueryStream stream(request.Request(), &updater);
    updater.cancelAfterBytes = 8193;
    std::int32_t shift = 0;
    EXPECT_THROW(stream.Refill(0, shift), parser::CDataSourceBase::EUserCancelledUpload);
    // The new bytes are in the buffer when the cancel is reported.
    EXPECT_EQ(Buffered(stream), body.substr(8192, 8192));
    EXPECT_EQ(updater.bytes, 16384);
}

TEST(PostQueryStream, AFailingRequestIsAnInternalErrorAndLeavesNoStaleBytes)
{
    const std::string body = Pattern(20000);
    RequestFixture request(body, {}, 10000);
    CPostQueryStream stream(request.Request(), nullptr);
    std::int32_t shift = 0;
    ASSERT_TRUE(stream.Refill(100, shift));
    EXPECT_THROW(stream.Refill(100, shift), parser::CDataSourceBase::EInternalError);
    EXPECT_EQ(stream.end, 0u);

    RequestFixture failsAtOnce(body, {}, 0);
    EXPECT_THROW(CPostQueryStream(failsAtOnce.Request(), nullptr), parser::CDataSourceBase::EInternalError);
}

// A Request whose BinaryRead answers as told, for the answers a real one never gives.
class OddRequest final : public IRequest {
public:
    VARTYPE countType = VT_I4;
    LONG count = 0;
    LONG arraySize = 0;

    STDMETHODIMP BinaryRead(VARIANT* countToRead, VARIANT* data) override
    {
        countToRead->vt = countType;
        countToRead->lVal = count;
        if (arraySize > 0) {
            data->vt = VT_ARRAY | VT_UI1;
            data->parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(arraySize));
        }
        return S_OK;
    }
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Item(BSTR, IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_QueryString(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Form(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Body(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_ServerVariables(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_ClientCertificate(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Cookies(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_TotalBytes(LONG*) override { return E_NOTIMPL; }
};

TEST(PostQueryStream, RejectsBinaryReadAnswersOfTheWrongShape)
{
    using EInternalError = parser::CDataSourceBase::EInternalError;
    OddRequest request;
    request.countType = VT_I2;
    EXPECT_THROW(CPostQueryStream(&request, nullptr), EInternalError);
    request.countType = VT_I4;
    request.count = -1;
    EXPECT_THROW(CPostQueryStream(&request, nullptr), EInternalError);
    request.count = 8193;
    request.arraySize = 8193;
    EXPECT_THROW(CPostQueryStream(&request, nullptr), EInternalError);
    // Bytes promised but no array, or an array shorter than the count.
    request.count = 10;
    request.arraySize = 0;
    EXPECT_THROW(CPostQueryStream(&request, nullptr), EInternalError);
    request.arraySize = 4;
    EXPECT_THROW(CPostQueryStream(&request, nullptr), EInternalError);
    request.arraySize = 10;
    CPostQueryStream fine(&request, nullptr);
    EXPECT_EQ(fine.end, 10u);
}

} // namespace
