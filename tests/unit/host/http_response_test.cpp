// The Response object in HTTP mode: what reaches the channel, in which order, and which changes a
// page may still make once the head went out.
#include "host/response.h"

#include "com/bstr.h"
#include "com/variant.h"
#include "host_test_support.h"

#include <gtest/gtest.h>

namespace {

using host_test::W;

// Records what a response sends, as a client would see it.
class CRecordingChannel final : public host::CResponseChannel {
public:
    void SendHead(const std::string& status, const host::THttpHeaderList& headers,
                  std::optional<std::size_t> contentLength) override
    {
        ++heads;
        this->status = status;
        this->headers = headers;
        this->contentLength = contentLength;
    }
    void SendBody(std::string_view bytes) override { pieces.emplace_back(bytes); }
    void EndBody() override { ++ends; }
    bool Connected() const override { return true; }

    std::string Body() const
    {
        std::string all;
        for (const auto& piece : pieces)
            all += piece;
        return all;
    }
    std::string Header(const std::string& name) const
    {
        for (const auto& [n, v] : headers)
            if (n == name)
                return v;
        return "(none)";
    }

    int heads = 0, ends = 0;
    std::string status;
    host::THttpHeaderList headers;
    std::optional<std::size_t> contentLength;
    std::vector<std::string> pieces;
};

VARIANT Text(const WideString& text)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

// Sets a property the way a script does: Response.Name = value.
HRESULT Put(IDispatch* object, const OLECHAR* name, VARIANT value)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    ::VariantClear(&value);
    return hr;
}

class HttpResponse : public ::testing::Test {
protected:
    HRESULT Write(const WideString& text)
    {
        VARIANT v = Text(text);
        const HRESULT hr = response_->Write(v);
        ::VariantClear(&v);
        return hr;
    }

    CRecordingChannel channel_;
    com::ComPtr<host::CResponse> response_ = host::CResponse::CreateHttp(channel_, CP_UTF8);
};

TEST_F(HttpResponse, ABufferedPageGoesOutWholeWithItsLengthAndHeaders)
{
    ASSERT_EQ(S_OK, Put(response_.Get(), OLESTR("ContentType"), Text(W("application/json"))));
    ASSERT_EQ(S_OK, Put(response_.Get(), OLESTR("Charset"), Text(W("utf-8"))));
    ASSERT_EQ(S_OK, Put(response_.Get(), OLESTR("Status"), Text(W("201 Created"))));
    com::Bstr name(W("X-Upload")), value(W("yes"));
    ASSERT_EQ(S_OK, response_->AddHeader(name.Get(), value.Get()));
    ASSERT_EQ(S_OK, Write(W("{\"a\":")));
    ASSERT_EQ(S_OK, Write(WideString{OLECHAR(0xE9)}));
    EXPECT_EQ(0, channel_.heads); // nothing leaves before the page ends
    response_->Finish();
    response_->Finish();
    EXPECT_EQ(1, channel_.heads);
    EXPECT_EQ(1, channel_.ends);
    EXPECT_EQ("201 Created", channel_.status);
    EXPECT_EQ("application/json; charset=utf-8", channel_.Header("Content-Type"));
    EXPECT_EQ("yes", channel_.Header("X-Upload"));
    EXPECT_EQ("{\"a\":\xC3\xA9", channel_.Body());
    EXPECT_EQ(channel_.Body().size(), channel_.contentLength);
}

TEST_F(HttpResponse, FlushSendsTheHeadWithoutALengthAndFreezesIt)
{
    ASSERT_EQ(S_OK, Write(W("one")));
    ASSERT_EQ(S_OK, response_->Flush());
    EXPECT_EQ(1, channel_.heads);
    EXPECT_EQ(std::nullopt, channel_.contentLength);
    EXPECT_EQ("one", channel_.Body());
    EXPECT_EQ(E_FAIL, Put(response_.Get(), OLESTR("Status"), Text(W("404 Not Found"))));
    EXPECT_EQ("200 OK", response_->Status());
    ASSERT_EQ(S_OK, Write(W("two")));
    response_->Finish();
    EXPECT_EQ("onetwo", channel_.Body());
    EXPECT_EQ(1, channel_.heads);
}

TEST_F(HttpResponse, WithoutBufferingEveryWriteLeavesAtOnce)
{
    VARIANT off;
    ::VariantInit(&off);
    off.vt = VT_BOOL;
    off.boolVal = VARIANT_FALSE;
    ASSERT_EQ(S_OK, Put(response_.Get(), OLESTR("Buffer"), off));
    ASSERT_EQ(S_OK, Write(W("a")));
    ASSERT_EQ(S_OK, Write(W("b")));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), channel_.pieces);
}

TEST_F(HttpResponse, EndStopsThePageAndLaterWritesAreRefused)
{
    ASSERT_EQ(S_OK, Write(W("kept")));
    EXPECT_EQ(host::CResponse::kPageEnded, response_->End());
    EXPECT_TRUE(response_->Ended());
    EXPECT_EQ(host::CResponse::kPageEnded, Write(W("dropped")));
    response_->Finish();
    EXPECT_EQ("kept", channel_.Body());
}

TEST_F(HttpResponse, RedirectAnswers302WithTheLocationAndEndsThePage)
{
    ASSERT_EQ(S_OK, Write(W("discarded")));
    com::Bstr url(W("/done.asp?x=1"));
    EXPECT_EQ(host::CResponse::kPageEnded, response_->Redirect(url.Get()));
    response_->Finish();
    EXPECT_EQ("302 Object moved", channel_.status);
    EXPECT_EQ("/done.asp?x=1", channel_.Header("Location"));
    EXPECT_EQ(std::string::npos, channel_.Body().find("discarded"));
}

TEST_F(HttpResponse, HeaderInjectionAndBadStatusesAreRefused)
{
    com::Bstr badName(W("X Bad")), crlfValue(W("a\r\nSet-Cookie: x")), name(W("X-Ok")), value(W("v"));
    EXPECT_EQ(E_INVALIDARG, response_->AddHeader(badName.Get(), value.Get()));
    EXPECT_EQ(E_INVALIDARG, response_->AddHeader(name.Get(), crlfValue.Get()));
    for (const char* status : {"20 OK", "abc", "2000 x", "200\r\nX: y", ""})
        EXPECT_NE(S_OK, Put(response_.Get(), OLESTR("Status"), Text(W(status)))) << status;
    EXPECT_NE(S_OK, Put(response_.Get(), OLESTR("ContentType"), Text(W(""))));
    response_->Finish();
    EXPECT_EQ("200 OK", channel_.status);
    EXPECT_EQ("text/html", channel_.Header("Content-Type"));
    EXPECT_EQ("(none)", channel_.Header("X-Ok"));
}

TEST_F(HttpResponse, CodePageChangesHowLaterTextIsEncoded)
{
    ASSERT_EQ(S_OK, Write(WideString{OLECHAR(0xE9)}));
    VARIANT cp;
    ::VariantInit(&cp);
    cp.vt = VT_I4;
    cp.lVal = 1252;
    ASSERT_EQ(S_OK, Put(response_.Get(), OLESTR("CodePage"), cp));
    EXPECT_EQ(1252u, response_->CodePage());
    ASSERT_EQ(S_OK, Write(WideString{OLECHAR(0xE9)}));
    cp.lVal = 12345;
    EXPECT_EQ(E_INVALIDARG, Put(response_.Get(), OLESTR("CodePage"), cp));
    response_->Finish();
    EXPECT_EQ("\xC3\xA9\xE9", channel_.Body());
}

TEST_F(HttpResponse, WriteBlockWritesThePagesLiteralText)
{
    response_->SetBlocks({W("<p>"), W("</p>")});
    ASSERT_EQ(S_OK, response_->WriteBlock(0));
    ASSERT_EQ(S_OK, Write(W("x")));
    ASSERT_EQ(S_OK, response_->WriteBlock(1));
    EXPECT_EQ(E_INVALIDARG, response_->WriteBlock(2));
    response_->Finish();
    EXPECT_EQ("<p>x</p>", channel_.Body());
}

} // namespace
