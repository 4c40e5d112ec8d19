#include "tools/aspserve/session_object.h"

#include "com/bstr.h"

namespace aspserve {

namespace {

enum : DISPID {
    kValue = DISPID_VALUE,
    kSessionID = 1,
    kTimeout,
    kAbandon,
    kCodePage,
    kLCID,
    kStaticObjects,
    kContents,
};

const host::TDispMember kMembers[] = {
    {OLESTR("Value"), kValue},
    {OLESTR("SessionID"), kSessionID},
    {OLESTR("Timeout"), kTimeout},
    {OLESTR("Abandon"), kAbandon},
    {OLESTR("CodePage"), kCodePage},
    {OLESTR("LCID"), kLCID},
    {OLESTR("StaticObjects"), kStaticObjects},
    {OLESTR("Contents"), kContents},
};

HRESULT LongFrom(const VARIANT& value, LONG& out) noexcept
{
    com::Variant number;
    if (FAILED(::VariantChangeType(number.Get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    out = number.Get()->lVal;
    return S_OK;
}

HRESULT ReturnLong(LONG value, VARIANT* result) noexcept
{
    result->vt = VT_I4;
    result->lVal = value;
    return S_OK;
}

} // namespace

CSession::CSession(std::shared_ptr<TSessionState> state, CSessionStore& store, std::function<UINT()> pageCodePage,
                   std::function<bool(UINT)> setPageCodePage)
    // Contents may outlive this object in a script variable: what storing needs, it keeps itself.
    : CNamedValuesObject(kMembers, kContents, state, state->values, [state, &store] { store.Fix(*state); }),
      state_(std::move(state)), pageCodePage_(std::move(pageCodePage)), setPageCodePage_(std::move(setPageCodePage))
{}

com::ComPtr<CSession> CSession::Create(std::shared_ptr<TSessionState> state, CSessionStore& store,
                                       std::function<UINT()> pageCodePage, std::function<bool(UINT)> setPageCodePage)
{
    return host::MakeHostObject<CSession>(std::move(state), store, std::move(pageCodePage), std::move(setPageCodePage));
}

STDMETHODIMP CSession::get_SessionID(BSTR* pbstrRet)
{
    if (!pbstrRet)
        return E_POINTER;
    return com::ComBoundary([&]() -> HRESULT {
        const std::string id = std::to_string(state_->id);
        com::Bstr::CopyOut(WideString(id.begin(), id.end()), pbstrRet);
        return S_OK;
    });
}

STDMETHODIMP CSession::get_Timeout(LONG* plvar)
{
    if (!plvar)
        return E_POINTER;
    *plvar = state_->timeout;
    return S_OK;
}

STDMETHODIMP CSession::put_Timeout(LONG lvar)
{
    if (lvar < 1)
        return E_INVALIDARG;
    state_->timeout = lvar;
    return S_OK;
}

STDMETHODIMP CSession::Abandon()
{
    state_->abandoned = true;
    return S_OK;
}

STDMETHODIMP CSession::get_CodePage(LONG* plvar)
{
    if (!plvar)
        return E_POINTER;
    const UINT remembered = state_->codePage;
    *plvar = static_cast<LONG>(remembered ? remembered : pageCodePage_());
    return S_OK;
}

STDMETHODIMP CSession::put_CodePage(LONG lvar)
{
    if (lvar <= 0 || !setPageCodePage_(static_cast<UINT>(lvar)))
        return E_INVALIDARG;
    state_->codePage = static_cast<UINT>(lvar);
    return S_OK;
}

STDMETHODIMP CSession::get_LCID(LONG* plvar)
{
    if (!plvar)
        return E_POINTER;
    const LONG remembered = state_->lcid;
    *plvar = remembered ? remembered : static_cast<LONG>(::GetUserDefaultLCID());
    return S_OK;
}

STDMETHODIMP CSession::put_LCID(LONG lvar)
{
    if (lvar <= 0)
        return E_INVALIDARG;
    state_->lcid = lvar;
    return S_OK;
}

HRESULT CSession::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kSessionID: return ReturnLong(state_->id, result);
    case kTimeout: return ReturnLong(state_->timeout, result);
    case kAbandon: return Abandon();
    case kCodePage: {
        LONG codePage = 0;
        return FAILED(hr = get_CodePage(&codePage)) ? hr : ReturnLong(codePage, result);
    }
    case kLCID: {
        LONG lcid = 0;
        return FAILED(hr = get_LCID(&lcid)) ? hr : ReturnLong(lcid, result);
    }
    default: return InvokeValueMember(id, args, result);
    }
}

HRESULT CSession::PutMember(DISPID id, const VARIANT& value)
{
    LONG number = 0;
    if (id != kTimeout && id != kCodePage && id != kLCID)
        return DISP_E_MEMBERNOTFOUND;
    const HRESULT hr = LongFrom(value, number);
    if (FAILED(hr))
        return hr;
    return id == kTimeout ? put_Timeout(number) : id == kCodePage ? put_CodePage(number) : put_LCID(number);
}

} // namespace aspserve
