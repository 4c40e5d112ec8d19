// The page objects as a script engine reaches them: names through GetIDsOfNames, calls through
// Invoke with the argument forms VBScript uses (literals by value, variables by reference).
#include "com/module_lock.h"
#include "host/page_host.h"
#include "host/string_list.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using host_test::W;

DISPID IdOf(IDispatch* object, const OLECHAR* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << "no member " << id;
    return id;
}

// Invokes name on object with args given in script order; returns the HRESULT.
HRESULT Call(IDispatch* object, const OLECHAR* name, std::vector<VARIANT> args, VARIANT* result,
             WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

VARIANT Text(const OLECHAR* text)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text);
    return v;
}

VARIANT Short(SHORT n)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = n;
    return v;
}

WideString AsString(VARIANT* v)
{
    com::Variant text;
    EXPECT_EQ(S_OK, ::VariantChangeType(text.Get(), v, 0, VT_BSTR));
    return com::Bstr::ToWide(text.Get()->bstrVal);
}

class ScriptDispatch : public ::testing::Test {
protected:
    ScriptDispatch()
        : page_(host::CreateMemoryPage("POST", {{"Content-Type", "text/plain"}}, "0123456789",
                                       [this](const WideString& text) { written_ += text; }))
    {
        com::Variant request;
        EXPECT_EQ(S_OK, Call(page_.Get(), OLESTR("request"), {}, request.Get(), DISPATCH_PROPERTYGET));
        EXPECT_EQ(VT_DISPATCH, request.Type());
        request_ = com::ComPtr<IDispatch>(request.Get()->pdispVal);
        com::Variant response;
        EXPECT_EQ(S_OK, Call(page_.Get(), OLESTR("Response"), {}, response.Get()));
        response_ = com::ComPtr<IDispatch>(response.Get()->pdispVal);
    }

    com::ComPtr<host::CScriptingContext> page_;
    com::ComPtr<IDispatch> request_;
    com::ComPtr<IDispatch> response_;
    WideString written_;
};

TEST_F(ScriptDispatch, ServerVariablesWithAnArgumentReachTheDefaultMemberAndConvertToText)
{
    com::Variant method;
    VARIANT name = Text(OLESTR("request_method"));
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("ServerVariables"), {name}, method.Get()));
    ::VariantClear(&name);
    ASSERT_EQ(VT_DISPATCH, method.Type());
    EXPECT_EQ(W("POST"), AsString(method.Get()));

    // Request.ServerVariables first, then ("CONTENT_TYPE") on the collection.
    com::Variant collection, type;
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("SERVERVARIABLES"), {}, collection.Get(), DISPATCH_PROPERTYGET));
    name = Text(OLESTR("CONTENT_TYPE"));
    DISPPARAMS params = {&name, nullptr, 1, 0};
    EXPECT_EQ(S_OK, collection.Get()->pdispVal->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &params,
                                                       type.Get(), nullptr, nullptr));
    ::VariantClear(&name);
    EXPECT_EQ(W("text/plain"), AsString(type.Get()));

    // Response.Write of the returned object writes its default value.
    EXPECT_EQ(S_OK, Call(response_.Get(), OLESTR("write"), {*type.Get()}, nullptr, DISPATCH_METHOD));
    EXPECT_EQ(W("text/plain"), written_);
}

TEST_F(ScriptDispatch, BinaryReadWritesTheCountBackIntoTheScriptVariable)
{
    com::Variant total;
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("TotalBytes"), {}, total.Get()));
    EXPECT_EQ(VT_I4, total.Type());
    EXPECT_EQ(10, total.Get()->lVal);

    VARIANT variable = Short(4); // n = 4 : data = Request.BinaryRead(n)
    VARIANT byRef;
    ::VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = &variable;
    com::Variant data;
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("BinaryRead"), {byRef}, data.Get()));
    EXPECT_EQ("0123", host_test::BytesOf(*data.Get()));
    EXPECT_EQ(VT_I4, variable.vt);
    EXPECT_EQ(4, variable.lVal);

    VARIANT literal = Short(100); // Request.BinaryRead(100): the literal is the caller's, left as is
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("BinaryRead"), {literal}, data.Receive()));
    EXPECT_EQ("456789", host_test::BytesOf(*data.Get()));
    std::vector<VARIANT> args = {literal};
    DISPPARAMS params = {args.data(), nullptr, 1, 0};
    EXPECT_EQ(S_OK, request_->Invoke(IdOf(request_.Get(), OLESTR("BinaryRead")), IID_NULL, 0, DISPATCH_METHOD, &params,
                                     data.Receive(), nullptr, nullptr));
    EXPECT_EQ(VT_I2, args[0].vt);
    EXPECT_EQ(100, args[0].iVal);
    EXPECT_EQ("", host_test::BytesOf(*data.Get()));
}

TEST_F(ScriptDispatch, ResponseWriteConvertsValuesAndSkipsNull)
{
    VARIANT number;
    ::VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 42;
    VARIANT null;
    ::VariantInit(&null);
    null.vt = VT_NULL;
    VARIANT text = Text(OLESTR(" and more"));
    EXPECT_EQ(S_OK, Call(response_.Get(), OLESTR("Write"), {number}, nullptr, DISPATCH_METHOD));
    EXPECT_EQ(S_OK, Call(response_.Get(), OLESTR("Write"), {null}, nullptr, DISPATCH_METHOD));
    EXPECT_EQ(S_OK, Call(response_.Get(), OLESTR("Write"), {text}, nullptr, DISPATCH_METHOD));
    ::VariantClear(&text);
    EXPECT_EQ(W("42 and more"), written_);
}

TEST_F(ScriptDispatch, CallsThatCannotBeServedGiveTheErrorsAScriptEngineExpects)
{
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(OLESTR("Nonsense"))};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, request_->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);

    com::Variant result;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              request_->Invoke(777, IID_NULL, 0, DISPATCH_METHOD, &none, result.Get(), nullptr, nullptr));
    VARIANT value = Short(1);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &named, 1, 1};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, request_->Invoke(IdOf(request_.Get(), OLESTR("TotalBytes")), IID_NULL, 0,
                                                      DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
    DISPPARAMS namedArg = {&value, &named, 1, 1};
    EXPECT_EQ(DISP_E_NONAMEDARGS, request_->Invoke(IdOf(request_.Get(), OLESTR("BinaryRead")), IID_NULL, 0,
                                                   DISPATCH_METHOD, &namedArg, result.Get(), nullptr, nullptr));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(request_.Get(), OLESTR("BinaryRead"), {}, result.Receive()));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(request_.Get(), OLESTR("TotalBytes"), {value}, result.Receive()));

    VARIANT key = Text(OLESTR("x"));
    EXPECT_EQ(E_NOTIMPL, Call(request_.Get(), OLESTR("ClientCertificate"), {key}, result.Receive()));
    EXPECT_EQ(E_NOTIMPL, Call(request_.Get(), OLESTR("Cookies"), {}, result.Receive()));
    EXPECT_EQ(E_NOTIMPL, Call(response_.Get(), OLESTR("AppendToLog"), {key}, nullptr, DISPATCH_METHOD));
    EXPECT_EQ(E_NOTIMPL, Call(page_.Get(), OLESTR("Session"), {}, result.Receive()));
    ::VariantClear(&key);
}

TEST_F(ScriptDispatch, TheContextHandsOutCountedReferencesThatOutliveIt)
{
    com::ComPtr<IUnknown> unknown(static_cast<IScriptingContext*>(page_.Get()));
    com::ComPtr<IScriptingContext> context;
    ASSERT_EQ(S_OK, com::QueryInterfaceTo(unknown.Get(), IID_IScriptingContext, context));
    com::ComPtr<IRequest> notHere;
    EXPECT_EQ(E_NOINTERFACE, com::QueryInterfaceTo(unknown.Get(), IID_IRequest, notHere));

    com::ComPtr<IRequest> request;
    com::ComPtr<IResponse> response;
    ASSERT_EQ(S_OK, context->get_Request(request.Receive()));
    ASSERT_EQ(S_OK, context->get_Response(response.Receive()));
    EXPECT_EQ(E_POINTER, context->get_Request(nullptr));
    IServer* noServer = reinterpret_cast<IServer*>(1);
    EXPECT_EQ(E_NOTIMPL, context->get_Server(&noServer));
    EXPECT_EQ(nullptr, noServer);

    unknown.Reset();
    context.Reset();
    request_.Reset();
    response_.Reset();
    page_.Reset();
    LONG total = 0;
    EXPECT_EQ(S_OK, request->get_TotalBytes(&total)); // still alive through its own reference
    EXPECT_EQ(10, total);
    EXPECT_EQ(2u, request->AddRef());
    EXPECT_EQ(1u, request->Release());
}

TEST_F(ScriptDispatch, ForEachOverServerVariablesEnumeratesTheirNames)
{
    com::Variant collection, enumResult;
    ASSERT_EQ(S_OK, Call(request_.Get(), OLESTR("ServerVariables"), {}, collection.Get()));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(S_OK,
              collection.Get()->pdispVal->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                                 &none, enumResult.Get(), nullptr, nullptr));
    ASSERT_EQ(VT_UNKNOWN, enumResult.Type());
    com::ComPtr<IEnumVARIANT> names;
    ASSERT_EQ(S_OK, com::QueryInterfaceTo(enumResult.Get()->punkVal, IID_IEnumVARIANT, names));

    VARIANT items[2];
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, names->Next(2, items, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(W("REQUEST_METHOD"), com::Bstr::ToWide(items[0].bstrVal));
    EXPECT_EQ(W("CONTENT_TYPE"), com::Bstr::ToWide(items[1].bstrVal));
    ::VariantClear(&items[0]);
    ::VariantClear(&items[1]);

    com::ComPtr<IEnumVARIANT> copy;
    ASSERT_EQ(S_OK, names->Clone(copy.Receive()));
    EXPECT_EQ(S_FALSE, names->Skip(1000));
    EXPECT_EQ(S_FALSE, names->Next(2, items, &fetched));
    EXPECT_EQ(0u, fetched);
    ASSERT_EQ(S_OK, copy->Next(1, items, nullptr)); // the clone kept the position
    EXPECT_EQ(W("CONTENT_LENGTH"), com::Bstr::ToWide(items[0].bstrVal));
    ::VariantClear(&items[0]);
    EXPECT_EQ(E_POINTER, copy->Next(2, items, nullptr));
    ASSERT_EQ(S_OK, names->Reset());
    ASSERT_EQ(S_OK, names->Next(1, items, nullptr));
    EXPECT_EQ(W("REQUEST_METHOD"), com::Bstr::ToWide(items[0].bstrVal));
    ::VariantClear(&items[0]);

    // The last name is that of the last header: "HTTP_CONTENT_LENGTH" (added by the page).
    int count = 0;
    com::ComPtr<IRequestDictionary> dictionary;
    ASSERT_EQ(S_OK, com::QueryInterfaceTo(collection.Get()->pdispVal, IID_IRequestDictionary, dictionary));
    ASSERT_EQ(S_OK, dictionary->get_Count(&count));
    ASSERT_EQ(S_OK, names->Skip(static_cast<ULONG>(count - 2)));
    ASSERT_EQ(S_OK, names->Next(1, items, nullptr));
    EXPECT_EQ(W("HTTP_CONTENT_LENGTH"), com::Bstr::ToWide(items[0].bstrVal));
    ::VariantClear(&items[0]);
    EXPECT_EQ(S_FALSE, names->Next(1, items, nullptr));
}

TEST_F(ScriptDispatch, ACallCheckRefusesScriptCallsButNotTheComponentsVtable)
{
    HRESULT verdict = S_OK;
    page_->Request().SetCallCheck([&] { return verdict; });
    com::Variant total;
    EXPECT_EQ(S_OK, Call(request_.Get(), OLESTR("TotalBytes"), {}, total.Get()));
    verdict = E_FAIL;
    EXPECT_EQ(E_FAIL, Call(request_.Get(), OLESTR("TotalBytes"), {}, total.Receive()));
    EXPECT_EQ(VT_EMPTY, total.Type());
    LONG bytes = 0;
    EXPECT_EQ(S_OK, page_->Request().get_TotalBytes(&bytes)); // how Upload.Save reaches it
    EXPECT_EQ(10, bytes);
}

// A host object with one property that takes an argument, recording what a put delivers.
class CIndexedProbe : public host::CHostObject<IDispatch, &IID_IDispatch> {
public:
    CIndexedProbe() : CHostObject(kMembers) {}
    WideString name;
    LONG value = 0;
    UINT puts = 0;

private:
    static constexpr host::TDispMember kMembers[] = {{OLESTR("Item"), DISPID_VALUE}};
    HRESULT InvokeMember(DISPID, const host::CDispArgs&, VARIANT*) override { return E_NOTIMPL; }
    HRESULT PutMember(DISPID, const VARIANT&) override { return E_INVALIDARG; }
    HRESULT PutIndexedMember(DISPID, const host::CDispArgs& index, const VARIANT& v) override
    {
        ++puts;
        if (index.Count() != 1 || index[0].vt != VT_BSTR || v.vt != VT_I2)
            return DISP_E_TYPEMISMATCH;
        name = com::Bstr::ToWide(index[0].bstrVal);
        value = v.iVal;
        return S_OK;
    }
};

TEST(HostObject, APutWithAnArgumentReachesPutIndexedMember)
{
    com::ComPtr<CIndexedProbe> probe = host::MakeHostObject<CIndexedProbe>();
    // obj("count") = 7 as a script engine sends it: the value first and named, then the index.
    com::Variant name;
    *name.Get() = Text(OLESTR("count"));
    com::Variant seven;
    *seven.Get() = Short(7);
    VARIANT args[2] = {*seven.Get(), *name.Get()};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args, &named, 2, 1};
    EXPECT_EQ(S_OK, probe->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                  nullptr, nullptr));
    EXPECT_EQ(WideString(OLESTR("count")), probe->name);
    EXPECT_EQ(7, probe->value);
    params.cArgs = 1; // obj = 7 goes to PutMember
    EXPECT_EQ(E_INVALIDARG, probe->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                          nullptr, nullptr, nullptr));
    params.cNamedArgs = 0; // a put must name its value
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, probe->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                                  &params, nullptr, nullptr, nullptr));
    EXPECT_EQ(1u, probe->puts);
}

TEST(HostObject, PageObjectsAndTheirEnumeratorsHoldNoModuleLock)
{
    // They stand for the web server's objects: a component's DllCanUnloadNow must not wait for them.
    const LONG base = com::ModuleLockCount();
    auto page = host::CreateMemoryPage("GET", {{"X-A", "1"}}, std::string());
    com::ComPtr<IRequestDictionary> variables;
    ASSERT_EQ(S_OK, page->Request().get_ServerVariables(variables.Receive()));
    com::ComPtr<IUnknown> names;
    ASSERT_EQ(S_OK, variables->get__NewEnum(names.Receive()));
    com::ComPtr<IEnumVARIANT> enumerator, clone;
    ASSERT_EQ(S_OK, com::QueryInterfaceTo(names.Get(), IID_IEnumVARIANT, enumerator));
    ASSERT_EQ(S_OK, enumerator->Clone(clone.Receive()));
    com::ComPtr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, com::QueryInterfaceTo(variables.Get(), IID_IDispatch, dispatch));
    EXPECT_EQ(com::ModuleLockCount(), base);
}

TEST(StringList, DefaultValueJoinsAndIndexesCountFromOne)
{
    auto list = host::CStringList::Create({W("a"), W("b c"), W("")});
    int count = 0;
    ASSERT_EQ(S_OK, list->get_Count(&count));
    EXPECT_EQ(3, count);
    com::Variant value;
    VARIANT missing;
    ::VariantInit(&missing);
    ASSERT_EQ(S_OK, list->get_Item(missing, value.Receive()));
    EXPECT_EQ(W("a, b c, "), com::Bstr::ToWide(value.Get()->bstrVal));
    VARIANT index = Short(2);
    ASSERT_EQ(S_OK, list->get_Item(index, value.Receive()));
    EXPECT_EQ(W("b c"), com::Bstr::ToWide(value.Get()->bstrVal));
    index.iVal = 4;
    EXPECT_EQ(DISP_E_BADINDEX, list->get_Item(index, value.Receive()));
    VARIANT word = Text(OLESTR("two"));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, list->get_Item(word, value.Receive()));
    ::VariantClear(&word);
}

} // namespace
