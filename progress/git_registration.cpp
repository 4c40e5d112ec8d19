#include "progress/git_registration.h"

#include "com/com_error.h"
#include "com/com_ptr.h"

namespace {

HRESULT GetGlobalInterfaceTable(com::ComPtr<IGlobalInterfaceTable>& git) noexcept
{
    return ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                              git.ReceiveVoid());
}

} // namespace

CGitRegistration CGitRegistration::Register(IUnknown* object, REFIID iid)
{
    com::ComPtr<IGlobalInterfaceTable> git;
    com::ThrowIfFailed(GetGlobalInterfaceTable(git));
    CGitRegistration registration;
    com::ThrowIfFailed(git->RegisterInterfaceInGlobal(object, iid, &registration.cookie_));
    return registration;
}

HRESULT CGitRegistration::Get(REFIID iid, void** out) const noexcept
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    com::ComPtr<IGlobalInterfaceTable> git;
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
    com::ComPtr<IGlobalInterfaceTable> git;
    if (SUCCEEDED(GetGlobalInterfaceTable(git)))
        git->RevokeInterfaceFromGlobal(cookie);
}
