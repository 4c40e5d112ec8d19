#include "host/page_host.h"
#include "host/server_variables.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

namespace {

using host_test::ServerVariable;
using host_test::W;

com::ComPtr<IRequest> RequestWith(std::string method, std::vector<host::THttpRequestHead::THeader> headers,
                                  std::string body = "")
{
    auto page = host::CreateMemoryPage(std::move(method), std::move(headers), std::move(body));
    return host_test::RequestOf(page.Get());
}

TEST(ServerVariables, AnswerTheNamesTheComponentAsksForInAnyLetterCase)
{
    auto request = RequestWith("POST", {{"Content-Type", "Multipart/Form-Data; boundary=AaB03x"}}, "0123456789");
    EXPECT_EQ(W("POST"), ServerVariable(request.Get(), OLESTR("REQUEST_METHOD")));
    EXPECT_EQ(W("POST"), ServerVariable(request.Get(), OLESTR("request_method")));
    EXPECT_EQ(W("Multipart/Form-Data; boundary=AaB03x"), ServerVariable(request.Get(), OLESTR("HTTP_Content_Type")));
    EXPECT_EQ(W("Multipart/Form-Data; boundary=AaB03x"), ServerVariable(request.Get(), OLESTR("CONTENT_TYPE")));
    EXPECT_EQ(W("10"), ServerVariable(request.Get(), OLESTR("CONTENT_LENGTH")));
    EXPECT_EQ(W("10"), ServerVariable(request.Get(), OLESTR("HTTP_CONTENT_LENGTH")));
}

TEST(ServerVariables, MissingAndUnknownNamesGiveEmptyStrings)
{
    auto request = RequestWith("GET", {{"Content-Length", "0"}});
    EXPECT_EQ(W("GET"), ServerVariable(request.Get(), OLESTR("REQUEST_METHOD")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("CONTENT_TYPE")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("HTTP_Content_Type")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("NO_SUCH_VARIABLE")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("")));
    EXPECT_EQ(W("0"), ServerVariable(request.Get(), OLESTR("CONTENT_LENGTH")));
}

TEST(ServerVariables, HeaderNamesBecomeHttpVariablesAndRepeatsAreJoined)
{
    auto request = RequestWith("post", {{"X-Forwarded-For", "a"},
                                        {"accept", "text/html"},
                                        {"x-forwarded-for", "b"},
                                        {"X_Forwarded_For", "c"},
                                        {"Empty", ""}});
    EXPECT_EQ(W("post"), ServerVariable(request.Get(), OLESTR("REQUEST_METHOD")));
    EXPECT_EQ(W("a, b, c"), ServerVariable(request.Get(), OLESTR("HTTP_X_FORWARDED_FOR")));
    EXPECT_EQ(W("text/html"), ServerVariable(request.Get(), OLESTR("Http_Accept")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("HTTP_EMPTY")));
    EXPECT_EQ(W(""), ServerVariable(request.Get(), OLESTR("HTTP_X-FORWARDED-FOR"))); // '-' is never in a name
}

TEST(ServerVariables, DecodeHeaderBytesWithTheAnsiCodePage)
{
    // The component turns the boundary back into bytes with the ANSI code page, so bytes that
    // are not ASCII must survive the trip.
    auto request = RequestWith("POST", {{"Content-Type", "multipart/form-data; boundary=\xE9t\xE9"}});
    const WideString value = ServerVariable(request.Get(), OLESTR("CONTENT_TYPE"));
    ASSERT_EQ(33u, value.size());
    EXPECT_EQ(OLECHAR(0xE9), value[30]);
}

TEST(ServerVariables, CollectionCountKeyAndNumericItem)
{
    const auto head = host::MakeRequestHead("POST", {{"Host", "h"}}, 3);
    auto variables = host::CServerVariables::Create(head);
    int count = 0;
    ASSERT_EQ(S_OK, variables->get_Count(&count));
    ASSERT_EQ(static_cast<int>(variables->Variables().size()), count);

    com::Variant index;
    index.Get()->vt = VT_I4;
    com::Variant key;
    for (LONG i = 1; i <= count; ++i) {
        index.Get()->lVal = i;
        ASSERT_EQ(S_OK, variables->get_Key(*index.Get(), key.Receive()));
        ASSERT_EQ(VT_BSTR, key.Type());
        EXPECT_EQ(variables->Variables()[i - 1].name, com::Bstr::ToWide(key.Get()->bstrVal));
    }
    index.Get()->lVal = count;
    com::Variant value;
    ASSERT_EQ(S_OK, variables->get_Item(*index.Get(), value.Receive()));
    ASSERT_EQ(S_OK, ::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
    EXPECT_EQ(variables->Variables().back().value, com::Bstr::ToWide(value.Get()->bstrVal));

    for (const LONG bad : {LONG(0), LONG(count + 1)}) {
        index.Get()->lVal = bad;
        EXPECT_EQ(DISP_E_BADINDEX, variables->get_Item(*index.Get(), value.Receive()));
        EXPECT_EQ(DISP_E_BADINDEX, variables->get_Key(*index.Get(), value.Receive()));
    }
    EXPECT_EQ(E_POINTER, variables->get_Item(*index.Get(), nullptr));
}

TEST(ServerVariables, TheRequestHandsOutOneCollectionWithCountedReferences)
{
    auto request = RequestWith("GET", {});
    com::ComPtr<IRequestDictionary> first, second;
    ASSERT_EQ(S_OK, request->get_ServerVariables(first.Receive()));
    ASSERT_EQ(S_OK, request->get_ServerVariables(second.Receive()));
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(E_POINTER, request->get_ServerVariables(nullptr));
    request.Reset();
    // The collection outlives the request that gave it.
    com::Variant key, value;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = ::SysAllocString(OLESTR("REQUEST_METHOD"));
    EXPECT_EQ(S_OK, first->get_Item(*key.Get(), value.Receive()));
    EXPECT_EQ(S_OK, ::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
    EXPECT_EQ(W("GET"), com::Bstr::ToWide(value.Get()->bstrVal));
}

} // namespace
