#include "progress/git_registration.h"

#include "frame/com_error.h"
#include "frame/com_ptr.h"

namespace {

HRESULT GetGlobalInterfaceTable(frame::ComPtr<IGlobalInterfaceTable>& git) noexcept
{
    return ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                              git.ReceiveVoid());
}

} // namespace

CGitRegistration CGitRegistration::Register(IUnknown* object, REFIID iid)
{
    frame::ComPtr<IGlobalInterfaceTable> git;
    frame::ThrowIfFailed(GetGlobalInterfaceTable(git));
    CGitRegistration registration;
    frame::ThrowIfFailed(git->RegisterInterfaceInGlobal(object, iid, &registration.cookie_));
    return registration;
}

HRESULT CGitRegistration::Get(REFIID iid, void** out) const noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    frame::ComPtr<IGlobalInterfaceTable> git;
    const HRESULT hr = GetGlobalInterfaceTable(git);
    if (FAILED(hr))
        return hr;
    return git->GetInterfaceFromGlobal(cookie_, iid, out);
}

void CGitRegistration::Reset() noexcept
{
    const DWORD cookie = std::exchange(cookie_, 0);
    if (!cookie)
        return;
    frame::ComPtr<IGlobalInterfaceTable> git;
    if (SUCCEEDED(GetGlobalInterfaceTable(git)))
        git->RevokeInterfaceFromGlobal(cookie);
}
