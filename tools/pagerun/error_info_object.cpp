#include "tools/pagerun/error_info_object.h"

#include "com/com_ptr.h"
#include "com/variant.h"

namespace pagerun {

namespace {

enum : DISPID { kLeave = 1 };

const host::TDispMember kMembers[] = {{OLESTR("Leave"), kLeave}};

} // namespace

CErrorInfoObject::CErrorInfoObject() : CHostObject(kMembers) {}

HRESULT CErrorInfoObject::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT*)
{
    if (id != kLeave)
        return E_NOTIMPL;
    HRESULT hr = args.Expect(1, 1);
    if (FAILED(hr))
        return hr;
    com::Variant text;
    hr = ::VariantChangeType(text.Get(), &args[0], 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    com::ComPtr<ICreateErrorInfo> create;
    hr = ::CreateErrorInfo(create.Receive());
    if (FAILED(hr))
        return hr;
    create->SetDescription(text.Get()->bstrVal);
    create->SetSource(const_cast<LPOLESTR>(L"pagerun"));
    com::ComPtr<IErrorInfo> info;
    hr = create->QueryInterface(IID_IErrorInfo, info.ReceiveVoid());
    return FAILED(hr) ? hr : ::SetErrorInfo(0, info.Get());
}

} // namespace pagerun
