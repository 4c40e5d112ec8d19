// CScriptSite: the IActiveScriptSite a page host gives the VBScript engine (see page_engine.h). It
// publishes the page objects under their names (Request, Response, ...) and records the first
// script error the engine reports. Windows only.
#pragma once

#include "com/com_ptr.h"
#include "platform/win.h"

#include <activscp.h>

#include <map>
#include <optional>

namespace host {

struct TScriptError {
    HRESULT code = S_OK;
    WideString description;
    WideString source;
    ULONG line = 0; // 0-based, as the engine reports it
    LONG column = 0;
};

class CScriptSite final : public IActiveScriptSite {
public:
    CScriptSite() = default;
    CScriptSite(const CScriptSite&) = delete;
    CScriptSite& operator=(const CScriptSite&) = delete;

    /// Publishes object under name; the engine asks for it through GetItemInfo.
    void AddItem(const WideString& name, IUnknown* object);

    /// The first error the engine reported, if any.
    const std::optional<TScriptError>& Error() const noexcept { return error_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetLCID(LCID* lcid) override;
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD returnMask, IUnknown** item, ITypeInfo** typeInfo) override;
    STDMETHODIMP GetDocVersionString(BSTR* version) override;
    STDMETHODIMP OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) override;
    STDMETHODIMP OnStateChange(SCRIPTSTATE state) override;
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override;
    STDMETHODIMP OnLeaveScript() override;

private:
    // The site lives as long as the engine that uses it (a member of CPageEngine); the count only
    // satisfies COM.
    volatile LONG refs_ = 1;
    std::map<WideString, com::ComPtr<IUnknown>> items_;
    std::optional<TScriptError> error_;
};

} // namespace host
