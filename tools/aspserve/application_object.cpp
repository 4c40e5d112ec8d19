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

} // namespace

CApplication::CApplication(CApplicationState& state, std::uint64_t page)
    : CNamedValuesObject(kMembers, kContents, nullptr, state.Values(), {}), state_(state), page_(page)
{}

com::ComPtr<CApplication> CApplication::Create(CApplicationState& state, std::uint64_t page)
{
    return host::MakeHostObject<CApplication>(state, page);
}

void CApplication::EndPage() noexcept
{
    state_.ReleaseFor(page_);
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

HRESULT CApplication::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kLock: return FAILED(hr = args.Expect(0, 0)) ? hr : Lock();
    case kUnLock: return FAILED(hr = args.Expect(0, 0)) ? hr : UnLock();
    default: return InvokeValueMember(id, args, result);
    }
}

} // namespace aspserve
