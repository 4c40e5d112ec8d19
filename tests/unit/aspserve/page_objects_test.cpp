// The ASP objects aspserve adds to a page — Session, Application, Server.ScriptTimeout and the
// loop check — reached as a script engine reaches them, through IDispatch. Windows only (they are
// the server's Windows code); these run in the Windows unit suite under Wine. Calls the Windows
// VBScript engine makes and Wine's does not (Session("x") = 1 reaches the default member with an
// argument) are covered here, since no page under Wine can make them.
#include "com/bstr.h"
#include "com/variant.h"
#include "host/server_object.h"
#include "host/string_list.h"
#include "tools/aspserve/application_object.h"
#include "tools/aspserve/loop_check_object.h"
#include "tools/aspserve/session_object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

using aspserve::CApplication;
using aspserve::CApplicationState;
using aspserve::CSession;
using aspserve::CSessionStore;
using aspserve::TSessionState;
using host::CScriptDeadline;

VARIANT Text(const OLECHAR* text)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text);
    return v;
}

VARIANT Long(LONG n)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

DISPID IdOf(IDispatch* object, const OLECHAR* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << "no member";
    return id;
}

// A get or method call: args in script order; the arguments are released afterwards.
HRESULT Get(IDispatch* object, DISPID id, std::vector<VARIANT> args, VARIANT* result)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                      &params, result, nullptr, nullptr);
    for (VARIANT& v : args)
        ::VariantClear(&v);
    return hr;
}

// obj.Member(index...) = value, as an engine sends it: the value first and named.
HRESULT Put(IDispatch* object, DISPID id, std::vector<VARIANT> index, VARIANT value, WORD flags = DISPATCH_PROPERTYPUT)
{
    std::vector<VARIANT> args{value};
    args.insert(args.end(), index.rbegin(), index.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args.data(), &named, static_cast<UINT>(args.size()), 1};
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, nullptr, nullptr);
    for (VARIANT& v : args)
        ::VariantClear(&v);
    return hr;
}

WideString TextOf(const com::Variant& v)
{
    com::Variant text;
    if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(v.Get()), 0, VT_BSTR)))
        return OLESTR("<not text>");
    return com::Bstr::ToWide(text.Get()->bstrVal);
}

class PageObjects : public ::testing::Test {
protected:
    std::mt19937 generator_{7};
    CSessionStore store_{[] { return ::GetTickCount64(); },
                         [this](unsigned char* bytes, std::size_t count) {
                             for (std::size_t i = 0; i < count; ++i)
                                 bytes[i] = static_cast<unsigned char>(generator_());
                         },
                         20};
    UINT pageCodePage_ = 1252;

    com::ComPtr<CSession> NewSession(std::shared_ptr<TSessionState>& state)
    {
        EXPECT_TRUE(store_.Enter(
            "", [](auto) {}, state));
        return CSession::Create(
            state, store_, [this] { return pageCodePage_; },
            [this](UINT cp) {
                if (cp == 12345) // stands for a code page the system cannot convert to
                    return false;
                pageCodePage_ = cp;
                return true;
            });
    }
};

TEST_F(PageObjects, SessionDefaultMemberStoresAndReadsValuesAndKeepsTheSession)
{
    std::shared_ptr<TSessionState> state;
    com::ComPtr<CSession> session = NewSession(state);
    // Session("Color") = "blue" and Session("count") = 3, as the Windows engine calls them.
    EXPECT_EQ(S_OK, Put(session.Get(), DISPID_VALUE, {Text(OLESTR("Color"))}, Text(OLESTR("blue"))));
    EXPECT_EQ(S_OK, Put(session.Get(), IdOf(session.Get(), OLESTR("Contents")), {Text(OLESTR("count"))}, Long(3)));
    com::Variant value;
    EXPECT_EQ(S_OK, Get(session.Get(), DISPID_VALUE, {Text(OLESTR("COLOR"))}, value.Get()));
    EXPECT_EQ(WideString(OLESTR("blue")), TextOf(value));
    EXPECT_EQ(S_OK, Get(session.Get(), IdOf(session.Get(), OLESTR("value")), {Text(OLESTR("count"))}, value.Receive()));
    EXPECT_EQ(WideString(OLESTR("3")), TextOf(value));
    store_.Leave(state);
    EXPECT_EQ(1u, store_.KeptCount()); // storing a value kept the session

    // Session.SessionID is a number; Session.Timeout minutes of at least one.
    EXPECT_EQ(S_OK, Get(session.Get(), IdOf(session.Get(), OLESTR("SessionID")), {}, value.Receive()));
    EXPECT_EQ(VT_I4, value.Type());
    EXPECT_EQ(state->id, value.Get()->lVal);
    EXPECT_EQ(S_OK, Put(session.Get(), IdOf(session.Get(), OLESTR("Timeout")), {}, Long(5)));
    EXPECT_EQ(5, state->timeout.load());
    EXPECT_EQ(E_INVALIDARG, Put(session.Get(), IdOf(session.Get(), OLESTR("Timeout")), {}, Long(0)));
    EXPECT_EQ(S_OK, Get(session.Get(), IdOf(session.Get(), OLESTR("Abandon")), {}, value.Receive()));
    EXPECT_TRUE(state->abandoned.load());
}

TEST_F(PageObjects, SessionStoresTheDefaultValueOfAnObjectAndRefusesOtherObjects)
{
    std::shared_ptr<TSessionState> state;
    com::ComPtr<CSession> session = NewSession(state);
    // Session("name") = Request.Form("name"): the item's text is stored.
    com::ComPtr<host::CStringList> item = host::CStringList::Create({OLESTR("Jürg")});
    VARIANT object;
    ::VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = item.Detach();
    EXPECT_EQ(S_OK, Put(session.Get(), DISPID_VALUE, {Text(OLESTR("name"))}, object));
    com::Variant value;
    EXPECT_EQ(S_OK, state->values.Get(OLESTR("name"), value.Get()));
    EXPECT_EQ(VT_BSTR, value.Type());
    EXPECT_EQ(WideString(OLESTR("Jürg")), TextOf(value));

    // Set Session("self") = Session: an object without a readable default value is refused.
    session->AddRef();
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_DISPATCH;
    self.pdispVal = session.Get();
    EXPECT_EQ(E_INVALIDARG, Put(session.Get(), DISPID_VALUE, {Text(OLESTR("self"))}, self, DISPATCH_PROPERTYPUTREF));
    EXPECT_EQ(1u, state->values.Count());
    store_.Leave(state);
}

TEST_F(PageObjects, ContentsCountsNamesPositionsAndRemovals)
{
    std::shared_ptr<TSessionState> state;
    com::ComPtr<CSession> session = NewSession(state);
    com::Variant contentsValue;
    ASSERT_EQ(S_OK, Get(session.Get(), IdOf(session.Get(), OLESTR("Contents")), {}, contentsValue.Get()));
    ASSERT_EQ(VT_DISPATCH, contentsValue.Type());
    IDispatch* contents = contentsValue.Get()->pdispVal;
    for (const OLECHAR* name : {OLESTR("a"), OLESTR("b"), OLESTR("c")})
        EXPECT_EQ(S_OK, Put(contents, DISPID_VALUE, {Text(name)}, Text(name)));
    com::Variant value;
    EXPECT_EQ(S_OK, Get(contents, IdOf(contents, OLESTR("Count")), {}, value.Get()));
    EXPECT_EQ(3, value.Get()->lVal);
    EXPECT_EQ(S_OK, Get(contents, IdOf(contents, OLESTR("Key")), {Long(2)}, value.Receive()));
    EXPECT_EQ(WideString(OLESTR("b")), TextOf(value));
    EXPECT_EQ(S_OK, Get(contents, DISPID_VALUE, {Long(3)}, value.Receive())); // Contents(3)
    EXPECT_EQ(WideString(OLESTR("c")), TextOf(value));
    EXPECT_EQ(DISP_E_BADINDEX, Get(contents, DISPID_VALUE, {Long(4)}, value.Receive()));
    EXPECT_EQ(S_OK, Get(contents, IdOf(contents, OLESTR("Remove")), {Long(1)}, value.Receive()));
    EXPECT_EQ(S_OK, Get(contents, IdOf(contents, OLESTR("Remove")), {Text(OLESTR("C"))}, value.Receive()));
    EXPECT_EQ(std::vector<WideString>{OLESTR("b")}, state->values.Names());
    EXPECT_EQ(S_OK, Get(contents, IdOf(contents, OLESTR("RemoveAll")), {}, value.Receive()));
    EXPECT_EQ(0u, state->values.Count());
    store_.Leave(state);
}

TEST_F(PageObjects, SessionCodePageChangesThePageAndIsRemembered)
{
    std::shared_ptr<TSessionState> state;
    com::ComPtr<CSession> session = NewSession(state);
    const DISPID codePage = IdOf(session.Get(), OLESTR("CodePage"));
    com::Variant value;
    EXPECT_EQ(S_OK, Get(session.Get(), codePage, {}, value.Get()));
    EXPECT_EQ(1252, value.Get()->lVal); // the page's until the session asks for one
    EXPECT_EQ(S_OK, Put(session.Get(), codePage, {}, Long(65001)));
    EXPECT_EQ(65001u, pageCodePage_);
    EXPECT_EQ(65001u, state->codePage.load());
    EXPECT_EQ(E_INVALIDARG, Put(session.Get(), codePage, {}, Long(12345))); // one the system cannot convert to
    EXPECT_EQ(65001u, state->codePage.load());
    store_.Leave(state);
}

TEST(ApplicationObject, LockKeepsOtherPagesWaitingUntilUnlockOrTheEndOfThePage)
{
    CApplicationState state;
    com::ComPtr<CApplication> first = CApplication::Create(state, 1);
    com::ComPtr<CApplication> second = CApplication::Create(state, 2);
    com::Variant ignored;
    ASSERT_EQ(S_OK, Get(first.Get(), IdOf(first.Get(), OLESTR("Lock")), {}, ignored.Get()));
    EXPECT_EQ(S_OK, Put(first.Get(), DISPID_VALUE, {Text(OLESTR("n"))}, Long(41)));
    std::atomic<bool> locked{false};
    std::thread other([&] {
        second->Lock();
        locked = true;
        com::Variant n;
        second->get_Value(com::Bstr(WideString(OLESTR("N"))).Get(), n.Get());
        EXPECT_EQ(42, n.Get()->lVal); // sees what the first page wrote before it let go
        second->UnLock();
    });
    EXPECT_EQ(S_OK, Put(first.Get(), IdOf(first.Get(), OLESTR("Contents")), {Text(OLESTR("n"))}, Long(42)));
    EXPECT_FALSE(locked.load());
    first->EndPage(); // the page ends without UnLock: its lock goes with it
    other.join();
    EXPECT_TRUE(locked.load());
    EXPECT_EQ(0u, state.Holder());
}

TEST(LoopCheck, ExpiredFailsOnceAfterTheDeadlineThenStaysTrue)
{
    std::uint64_t now = 0;
    auto deadline = std::make_shared<CScriptDeadline>([&] { return now; }, 3);
    com::ComPtr<aspserve::CLoopCheck> check = aspserve::CLoopCheck::Create(deadline);
    const DISPID expired = IdOf(check.Get(), OLESTR("Expired"));
    com::Variant value;
    EXPECT_EQ(S_OK, Get(check.Get(), expired, {}, value.Get()));
    EXPECT_EQ(VARIANT_FALSE, value.Get()->boolVal);
    now = 3000;
    EXPECT_EQ(E_FAIL, Get(check.Get(), expired, {}, value.Receive())); // stops a script without Resume Next
    EXPECT_EQ(S_OK, Get(check.Get(), expired, {}, value.Receive()));
    EXPECT_EQ(VARIANT_TRUE, value.Get()->boolVal); // and leads one with it out of its loops
    EXPECT_TRUE(deadline->TimedOut());
}

TEST(ServerObject, ScriptTimeoutMayGrowButNotShrinkBelowTheServersSetting)
{
    auto deadline = std::make_shared<CScriptDeadline>([] { return std::uint64_t{0}; }, 90);
    com::ComPtr<host::CServer> server = host::CServer::Create(
        L"C:\\site", "/a.asp", nullptr, [] { return 1252u; }, deadline);
    const DISPID timeout = IdOf(server.Get(), OLESTR("ScriptTimeout"));
    EXPECT_EQ(S_OK, Put(server.Get(), timeout, {}, Long(10)));
    com::Variant value;
    EXPECT_EQ(S_OK, Get(server.Get(), timeout, {}, value.Get()));
    EXPECT_EQ(90, value.Get()->lVal);
    EXPECT_EQ(S_OK, Put(server.Get(), timeout, {}, Long(600)));
    EXPECT_EQ(600u, deadline->Seconds());
    EXPECT_EQ(E_INVALIDARG, Put(server.Get(), timeout, {}, Long(-1)));
    EXPECT_EQ(600u, deadline->Seconds());
}

} // namespace
