#include "com/error_info.h"

#include "com/com_ptr.h"
#include "com/failure_reason.h"

namespace com {

WideString DescriptionOf(HRESULT hr)
{
    switch (hr) {
    case E_INVALIDARG: return OLESTR("An argument of the call is not valid.");
    case E_POINTER: return OLESTR("The call lacks an argument it needs.");
    case E_OUTOFMEMORY: return OLESTR("There is not enough memory for the call.");
    default: return OLESTR("The call failed.");
    }
}

void LeaveErrorInfo(const ErrorSource& source, HRESULT hr, bool reasonReported) noexcept
{
    ::SetErrorInfo(0, nullptr);
    try {
        const WideString description = reasonReported ? LastFailureReasonOnThisThread() : DescriptionOf(hr);
        ComPtr<ICreateErrorInfo> create;
        if (FAILED(::CreateErrorInfo(create.Receive())) || !create)
            return;
        create->SetGUID(*source.iid);
        create->SetSource(const_cast<LPOLESTR>(source.progId));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(QueryInterfaceTo(create.Get(), IID_IErrorInfo, info)) && info)
            ::SetErrorInfo(0, info.Get());
    } catch (...) {
    }
}

} // namespace com
