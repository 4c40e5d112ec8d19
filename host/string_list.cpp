#include "host/string_list.h"

namespace host {

namespace {

enum : DISPID { kItem = DISPID_VALUE, kCount = 1, kNewEnum = DISPID_NEWENUM };

const TDispMember kMembers[] = {
    {OLESTR("Item"), kItem},
    {OLESTR("Count"), kCount},
    {OLESTR("_NewEnum"), kNewEnum},
};

} // namespace

CStringList::CStringList(std::vector<WideString> items) : CHostObject(kMembers), items_(std::move(items)) {}

com::ComPtr<CStringList> CStringList::Create(std::vector<WideString> items)
{
    return MakeHostObject<CStringList>(std::move(items));
}

STDMETHODIMP CStringList::get_Item(VARIANT i, VARIANT* pVariantReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pVariantReturn)
            return E_POINTER;
        ::VariantInit(pVariantReturn);
        if (IsMissing(i)) {
            WideString joined;
            for (const WideString& item : items_) {
                if (&item != &items_.front())
                    joined += OLESTR(", ");
                joined += item;
            }
            return ReturnString(joined, pVariantReturn);
        }
        std::size_t position = 0;
        const HRESULT hr = PositionFrom(i, items_.size(), &position);
        return FAILED(hr) ? hr : ReturnString(items_[position], pVariantReturn);
    });
}

STDMETHODIMP CStringList::get_Count(int* cStrRet)
{
    if (!cStrRet)
        return E_POINTER;
    *cStrRet = static_cast<int>(items_.size());
    return S_OK;
}

STDMETHODIMP CStringList::get__NewEnum(IUnknown** ppEnumReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppEnumReturn)
            return E_POINTER;
        return ReturnStringEnumerator(items_, ppEnumReturn);
    });
}

HRESULT CStringList::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    switch (id) {
    case kItem: {
        HRESULT hr = args.Expect(0, 1);
        if (FAILED(hr))
            return hr;
        VARIANT missing;
        ::VariantInit(&missing);
        missing.vt = VT_ERROR;
        missing.scode = DISP_E_PARAMNOTFOUND;
        return get_Item(args.Count() == 0 ? missing : args[0], result);
    }
    case kNewEnum: return InvokeNewEnum(*this, args, result);
    case kCount: return InvokeCount(*this, args, result);
    default: return E_NOTIMPL;
    }
}

} // namespace host
