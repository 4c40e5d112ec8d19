// CApplication: the page's Application object over the site's CApplicationState. Value (the
// default member) and Contents read and store the site's shared values; Lock waits until no other
// page holds the lock, Unlock lets it go (it also goes when the page ends: EndPage).
// StaticObjects answers E_NOTIMPL (there is no global.asa).
//
//   auto application = aspserve::CApplication::Create(state, pageToken);
//   context->SetApplication(application.Get());
//   ... the page runs ...
//   application->EndPage();
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"
#include "tools/aspserve/application_state.h"
#include "tools/aspserve/contents_object.h"

#include <asptlb.h>

#include <cstdint>

namespace aspserve {

class CApplication final : public host::CHostObject<IApplicationObject> {
public:
    /// page: a token that no other running page has (see CApplicationState::Lock).
    static com::ComPtr<CApplication> Create(CApplicationState& state, std::uint64_t page);

    /// Lets the lock go if the page still holds it.
    void EndPage() noexcept;

    STDMETHODIMP get_Value(BSTR bstrValue, VARIANT* pvar) override;
    STDMETHODIMP put_Value(BSTR bstrValue, VARIANT var) override;
    /// Objects are refused: E_INVALIDARG.
    STDMETHODIMP putref_Value(BSTR bstrValue, VARIANT var) override;
    STDMETHODIMP Lock() override;
    STDMETHODIMP UnLock() override;
    STDMETHODIMP get_StaticObjects(IVariantDictionary** ppProperties) override;
    STDMETHODIMP get_Contents(IVariantDictionary** ppProperties) override;

private:
    CApplication(CApplicationState& state, std::uint64_t page);
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;
    HRESULT PutIndexedMember(DISPID id, const host::CDispArgs& index, const VARIANT& value) override;

    CApplicationState& state_;
    const std::uint64_t page_;
    com::ComPtr<CContents> contents_;
};

} // namespace aspserve
