#include "host/string_list.h"

#include "host/string_enumerator.h"

namespace host {

namespace {

enum : DISPID { kItem = DISPID_VALUE, kCount = 1, kNewEnum = DISPID_NEWENUM };

const TDispMember kMembers[] = {
    {OLESTR("Item"), kItem},
    {OLESTR("Count"), kCount},
    {OLESTR("_NewEnum"), kNewEnum},
};

} // namespace

CStringList::CStringList(std::vector<WideString> items)
    : CHostObject(IID_IStringList, kMembers), items_(std::move(items))
{}

com::ComPtr<CStringList> CStringList::Create(std::vector<WideString> items)
{
    return com::ComPtr<CStringList>(new CStringList(std::move(items)));
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
        LONG index = 0;
        const HRESULT hr = IndexFrom(i, &index);
        if (FAILED(hr))
            return hr;
        if (index < 1 || static_cast<std::size_t>(index) > items_.size())
            return DISP_E_BADINDEX;
        return ReturnString(items_[static_cast<std::size_t>(index) - 1], pVariantReturn);
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
        *ppEnumReturn = CStringEnumerator::Create(items_).Detach();
        return S_OK;
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
    case kNewEnum: {
        const HRESULT hr = args.Expect(0, 0);
        if (FAILED(hr))
            return hr;
        result->vt = VT_UNKNOWN;
        return get__NewEnum(&result->punkVal);
    }
    case kCount: {
        HRESULT hr = args.Expect(0, 0);
        if (FAILED(hr))
            return hr;
        int count = 0;
        hr = get_Count(&count);
        if (SUCCEEDED(hr)) {
            result->vt = VT_I4;
            result->lVal = count;
        }
        return hr;
    }
    default: return E_NOTIMPL;
    }
}

} // namespace host
