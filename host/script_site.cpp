#include "host/script_site.h"

#include "com/bstr.h"
#include "com/guid.h"

#include <cwctype>

namespace host {

namespace {

// Item names are matched without regard to case, as VBScript treats identifiers.
WideString Folded(const OLECHAR* text)
{
    WideString folded;
    for (; text && *text; ++text)
        folded += static_cast<OLECHAR>(std::towlower(static_cast<wint_t>(*text)));
    return folded;
}

} // namespace

void CScriptSite::AddItem(const WideString& name, IUnknown* object)
{
    items_[Folded(name.c_str())] = com::ComPtr<IUnknown>(object);
}

STDMETHODIMP CScriptSite::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (com::SameGuid(iid, IID_IUnknown) || com::SameGuid(iid, IID_IActiveScriptSite)) {
        AddRef();
        *ppv = static_cast<IActiveScriptSite*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CScriptSite::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) CScriptSite::Release()
{
    return static_cast<ULONG>(::InterlockedDecrement(&refs_));
}

STDMETHODIMP CScriptSite::GetLCID(LCID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CScriptSite::GetItemInfo(LPCOLESTR name, DWORD returnMask, IUnknown** item, ITypeInfo** typeInfo)
{
    if (item)
        *item = nullptr;
    if (typeInfo)
        *typeInfo = nullptr;
    const auto found = items_.find(Folded(name));
    if (found == items_.end())
        return TYPE_E_ELEMENTNOTFOUND;
    if (returnMask & SCRIPTINFO_ITYPEINFO)
        return TYPE_E_ELEMENTNOTFOUND;
    if (returnMask & SCRIPTINFO_IUNKNOWN) {
        if (!item)
            return E_POINTER;
        return found->second.CopyTo(item);
    }
    return S_OK;
}

STDMETHODIMP CScriptSite::GetDocVersionString(BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CScriptSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*)
{
    return S_OK;
}

STDMETHODIMP CScriptSite::OnStateChange(SCRIPTSTATE)
{
    return S_OK;
}

STDMETHODIMP CScriptSite::OnScriptError(IActiveScriptError* error)
{
    if (!error || error_)
        return S_OK;
    TScriptError recorded;
    EXCEPINFO info = {};
    if (SUCCEEDED(error->GetExceptionInfo(&info))) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        recorded.code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode ? 0x800A0000 | info.wCode : E_FAIL);
        recorded.description = com::Bstr::ToWide(info.bstrDescription);
        recorded.source = com::Bstr::ToWide(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrHelpFile);
    } else {
        recorded.code = E_FAIL;
    }
    DWORD context = 0;
    error->GetSourcePosition(&context, &recorded.line, &recorded.column);
    error_ = std::move(recorded);
    return S_OK;
}

STDMETHODIMP CScriptSite::OnEnterScript()
{
    return S_OK;
}

STDMETHODIMP CScriptSite::OnLeaveScript()
{
    return S_OK;
}

} // namespace host
