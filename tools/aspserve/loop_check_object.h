// CLoopCheck: the object the translated program asks at the end of each loop iteration whether the
// script has run out of time ("If AspServeLoopCheck.Expired Then Exit Do"; see page_translator.h).
// Expired is False while the deadline has not passed. The first time it has, the call fails,
// which stops the script unless it runs under On Error Resume Next; from then on Expired is True,
// so that even such a script leaves its loops and comes to an end.
//
//   auto check = aspserve::CLoopCheck::Create(deadline);
//   site.AddItem(L"AspServeLoopCheck", check.Get());
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"
#include "host/script_deadline.h"

#include <memory>

namespace aspserve {

class CLoopCheck : public host::CHostObject<IDispatch, &IID_IDispatch> {
public:
    static com::ComPtr<CLoopCheck> Create(std::shared_ptr<host::CScriptDeadline> deadline);

protected:
    explicit CLoopCheck(std::shared_ptr<host::CScriptDeadline> deadline);

private:
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;

    const std::shared_ptr<host::CScriptDeadline> deadline_;
    bool reported_ = false;
};

} // namespace aspserve
