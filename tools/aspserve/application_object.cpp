#include "tools/aspserve/application_object.h"

namespace aspserve {

namespace {

enum : DISPID {
    kValue = DISPID_VALUE,
    kLock = 1,
    kUnLock,
    kStaticObjects,
    kContents,
};

const host::TDispMember kMembers[] = {
    {OLESTR("Value"), kValue},       {OLESTR("Lock"), kLock},
    {OLESTR("UnLock"), kUnLock},     {OLESTR("StaticObjects"), kStaticObjects},
    {OLESTR("Contents"), kContents},
};

VARIANT TextKey(BSTR name) noexcept
{
    VARIANT key;
    ::VariantInit(&key);
    key.vt = VT_BSTR;
    key.bstrVal = name;
    return key;
}

} // namespace

CApplication::CApplication(CApplicationState& state, std::uint64_t page)
    : CHostObject(IID_IApplicationObject, kMembers), state_(state), page_(page)
{
    contents_ = CContents::Create(nullptr, state_.Values(), {});
}

com::ComPtr<CApplication> CApplication::Create(CApplicationState& state, std::uint64_t page)
{
    return com::ComPtr<CApplication>(new CApplication(state, page));
}

void CApplication::EndPage() noexcept
{
    state_.ReleaseFor(page_);
}

STDMETHODIMP CApplication::get_Value(BSTR bstrValue, VARIANT* pvar)
{
    if (!pvar)
        return E_POINTER;
    return ReadNamedValue(state_.Values(), TextKey(bstrValue), pvar);
}

STDMETHODIMP CApplication::put_Value(BSTR bstrValue, VARIANT var)
{
    return StoreNamedValue(state_.Values(), TextKey(bstrValue), var, {});
}

STDMETHODIMP CApplication::putref_Value(BSTR, VARIANT)
{
    return E_INVALIDARG;
}

STDMETHODIMP CApplication::Lock()
{
    return com::ComBoundary([&]() -> HRESULT {
        state_.Lock(page_);
        return S_OK;
    });
}

STDMETHODIMP CApplication::UnLock()
{
    state_.Unlock(page_);
    return S_OK;
}

STDMETHODIMP CApplication::get_StaticObjects(IVariantDictionary** ppProperties)
{
    if (ppProperties)
        *ppProperties = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CApplication::get_Contents(IVariantDictionary** ppProperties)
{
    if (!ppProperties)
        return E_POINTER;
    contents_->AddRef();
    *ppProperties = contents_.Get();
    return S_OK;
}

HRESULT CApplication::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kValue:
        if (FAILED(hr = args.Expect(1, 1)))
            return hr;
        return ReadNamedValue(state_.Values(), args[0], result);
    case kContents: return host::ReturnObject(contents_.Get(), args, result);
    case kLock: return FAILED(hr = args.Expect(0, 0)) ? hr : Lock();
    case kUnLock: return FAILED(hr = args.Expect(0, 0)) ? hr : UnLock();
    default: return E_NOTIMPL;
    }
}

HRESULT CApplication::PutIndexedMember(DISPID id, const host::CDispArgs& index, const VARIANT& value)
{
    if ((id != kValue && id != kContents) || index.Count() != 1)
        return DISP_E_BADPARAMCOUNT;
    return StoreNamedValue(state_.Values(), index[0], value, {});
}

} // namespace aspserve
