#include "tools/aspserve/loop_check_object.h"

namespace aspserve {

namespace {

enum : DISPID { kExpired = 1 };

const host::TDispMember kMembers[] = {{OLESTR("Expired"), kExpired}};

} // namespace

CLoopCheck::CLoopCheck(std::shared_ptr<host::CScriptDeadline> deadline)
    : CHostObject(kMembers), deadline_(std::move(deadline))
{}

com::ComPtr<CLoopCheck> CLoopCheck::Create(std::shared_ptr<host::CScriptDeadline> deadline)
{
    return host::MakeHostObject<CLoopCheck>(std::move(deadline));
}

HRESULT CLoopCheck::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
{
    if (id != kExpired)
        return E_NOTIMPL;
    const HRESULT hr = args.Expect(0, 0);
    if (FAILED(hr))
        return hr;
    const bool expired = deadline_->Check();
    if (expired && !reported_) {
        reported_ = true;
        return E_FAIL;
    }
    result->vt = VT_BOOL;
    result->boolVal = expired ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

} // namespace aspserve
