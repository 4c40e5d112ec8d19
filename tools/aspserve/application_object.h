// CApplication: the page's Application object over the site's CApplicationState. Value (the
// default member) and Contents read and store the site's shared values (see
// named_values_object.h); Lock waits until no other page holds the lock, Unlock lets it go (it
// also goes when the page ends: EndPage).
//
//   auto application = aspserve::CApplication::Create(state, pageToken);
//   context->SetApplication(application.Get());
//   ... the page runs ...
//   application->EndPage();
#pragma once

#include "com/com_ptr.h"
#include "platform/win.h"
#include "tools/aspserve/application_state.h"
#include "tools/aspserve/named_values_object.h"

#include <asptlb.h>

#include <cstdint>

namespace aspserve {

class CApplication : public CNamedValuesObject<IApplicationObject, &IID_IApplicationObject> {
public:
    /// page: a token that no other running page has (see CApplicationState::Lock).
    static com::ComPtr<CApplication> Create(CApplicationState& state, std::uint64_t page);

    /// Lets the lock go if the page still holds it.
    void EndPage() noexcept;

    STDMETHODIMP Lock() override;
    STDMETHODIMP UnLock() override;

protected:
    CApplication(CApplicationState& state, std::uint64_t page);

private:
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;

    CApplicationState& state_;
    const std::uint64_t page_;
};

} // namespace aspserve
