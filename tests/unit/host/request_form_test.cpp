// Request.QueryString, Request.Form and Request("name"), and the rule that a request's body goes
// either to Form or to BinaryRead.
#include "host/page_host.h"
#include "host/memory_body_source.h"
#include "host/request.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

namespace {

using host_test::W;

WideString ItemOf(IRequestDictionary* collection, const char* name)
{
    com::Variant key;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = ::SysAllocString(W(name).c_str());
    com::Variant value;
    EXPECT_EQ(S_OK, collection->get_Item(*key.Get(), value.Receive()));
    EXPECT_EQ(S_OK, ::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
    return com::Bstr::ToWide(value.Get()->bstrVal);
}

com::ComPtr<host::CRequest> RequestWith(const std::string& target, const std::string& type, const std::string& body)
{
    host::THttpRequestHead head = host::MakeRequestHead("POST", {{"Content-Type", type}}, body.size());
    head.target = target;
    return host::CRequest::Create(head, std::make_unique<host::CMemoryBodySource>(body));
}

TEST(RequestForm, QueryStringAndFormDecodeInTheTextCodePage)
{
    auto request = RequestWith("/p.asp?id=%7Bx%7D&n=%C3%A9&n=2", "application/x-www-form-urlencoded; charset=utf-8",
                               "name=J%C3%BCrg+K&empty=");
    request->SetTextCodePage([] { return static_cast<UINT>(CP_UTF8); });
    com::ComPtr<IRequestDictionary> query, form;
    ASSERT_EQ(S_OK, request->get_QueryString(query.Receive()));
    EXPECT_EQ(W("{x}"), ItemOf(query.Get(), "ID"));
    EXPECT_EQ((WideString{OLECHAR(0xE9), ',', ' ', '2'}), ItemOf(query.Get(), "n"));
    EXPECT_EQ(W(""), ItemOf(query.Get(), "missing"));
    ASSERT_EQ(S_OK, request->get_Form(form.Receive()));
    EXPECT_EQ((WideString{'J', OLECHAR(0xFC), 'r', 'g', ' ', 'K'}), ItemOf(form.Get(), "name"));
    EXPECT_EQ(W(""), ItemOf(form.Get(), "empty"));
    EXPECT_EQ(23, request->BytesDelivered());
}

TEST(RequestForm, TextACodePageCannotDecodeKeepsEachByteAsLatin1)
{
    auto request = RequestWith("/p.asp?n=%E9%FF", "text/plain", "");
    request->SetTextCodePage([] { return 12345u; }); // a code page the system does not know
    com::ComPtr<IRequestDictionary> query;
    ASSERT_EQ(S_OK, request->get_QueryString(query.Receive()));
    EXPECT_EQ((WideString{OLECHAR(0xE9), OLECHAR(0xFF)}), ItemOf(query.Get(), "n"));
}

TEST(RequestForm, AfterFormBinaryReadFailsAndTheOtherWayRound)
{
    auto first = RequestWith("/", "application/x-www-form-urlencoded", "a=1");
    com::ComPtr<IRequestDictionary> form;
    ASSERT_EQ(S_OK, first->get_Form(form.Receive()));
    EXPECT_EQ(E_FAIL, host_test::BinaryRead(first.Get(), 1).hr);

    auto second = RequestWith("/", "multipart/form-data; boundary=b", "--b--");
    EXPECT_EQ(S_OK, host_test::BinaryRead(second.Get(), 2).hr);
    com::ComPtr<IRequestDictionary> none;
    EXPECT_EQ(E_FAIL, second->get_Form(none.Receive()));
    EXPECT_FALSE(none);
    EXPECT_EQ("b--", host_test::BinaryRead(second.Get(), 10).bytes); // the body was left alone
}

TEST(RequestForm, AMultipartBodyIsNotReadByFormOrByRequestLookups)
{
    auto request = RequestWith("/u.asp?id=7", "multipart/form-data; boundary=b", "--b--");
    com::Variant result;
    VARIANT name;
    ::VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = ::SysAllocString(W("id").c_str());
    DISPPARAMS params = {&name, nullptr, 1, 0};
    ASSERT_EQ(S_OK, request->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                    result.Get(), nullptr, nullptr));
    ::VariantClear(&name);
    ASSERT_EQ(VT_BSTR, result.Type());
    EXPECT_EQ(W("7"), com::Bstr::ToWide(result.Get()->bstrVal));
    EXPECT_EQ(0, request->BytesDelivered());
    EXPECT_EQ("--b--", host_test::BinaryRead(request.Get(), 100).bytes);
}

TEST(RequestForm, RequestLookupFallsBackToFormThenServerVariables)
{
    auto request = RequestWith("/p.asp?q=1", "application/x-www-form-urlencoded", "f=2");
    auto lookUp = [&](const char* key) {
        VARIANT name;
        ::VariantInit(&name);
        name.vt = VT_BSTR;
        name.bstrVal = ::SysAllocString(W(key).c_str());
        DISPPARAMS params = {&name, nullptr, 1, 0};
        com::Variant result;
        EXPECT_EQ(S_OK,
                  request->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, result.Get(), nullptr, nullptr));
        ::VariantClear(&name);
        return com::Bstr::ToWide(result.Get()->bstrVal);
    };
    EXPECT_EQ(W("1"), lookUp("q"));
    EXPECT_EQ(W("2"), lookUp("f"));
    EXPECT_EQ(W("POST"), lookUp("REQUEST_METHOD"));
    EXPECT_EQ(W(""), lookUp("nothing"));
}

} // namespace
