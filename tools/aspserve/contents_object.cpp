#include "tools/aspserve/contents_object.h"

#include "com/bstr.h"

namespace aspserve {

namespace {

enum : DISPID {
    kItem = DISPID_VALUE,
    kKey = 1,
    kCount,
    kRemove,
    kRemoveAll,
    kNewEnum = DISPID_NEWENUM,
};

const host::TDispMember kMembers[] = {
    {OLESTR("Item"), kItem},           {OLESTR("Key"), kKey},
    {OLESTR("Count"), kCount},         {OLESTR("Remove"), kRemove},
    {OLESTR("RemoveAll"), kRemoveAll}, {OLESTR("_NewEnum"), kNewEnum},
};

bool IsNumber(const VARIANT& v) noexcept
{
    switch (v.vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_DECIMAL:
    case VT_CY: return true;
    default: return false;
    }
}

HRESULT NameOf(const VARIANT& key, WideString& name) noexcept
{
    com::Variant text;
    if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&key), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    name = com::Bstr::ToWide(text.Get()->bstrVal);
    return S_OK;
}

} // namespace

HRESULT StoreNamedValue(CValueTable& table, const VARIANT& key, const VARIANT& value,
                        const std::function<void()>& onStore) noexcept
{
    return com::ComBoundary([&]() -> HRESULT {
        WideString name;
        HRESULT hr = NameOf(host::Dereference(key), name);
        if (FAILED(hr))
            return hr;
        // Session("name") = Request.Form("name") hands over the collection's item object: as a
        // script's Let does, its default value is what is stored. An object without one is refused.
        const VARIANT& given = host::Dereference(value);
        com::Variant defaultValue;
        if (given.vt == VT_DISPATCH && given.pdispVal) {
            DISPPARAMS none = {};
            if (FAILED(given.pdispVal->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                              defaultValue.Get(), nullptr, nullptr)))
                return E_INVALIDARG;
        }
        hr = table.Put(name, given.vt == VT_DISPATCH && given.pdispVal ? *defaultValue.Get() : value);
        if (SUCCEEDED(hr) && onStore)
            onStore();
        return hr;
    });
}

HRESULT ReadNamedValue(const CValueTable& table, const VARIANT& key, VARIANT* value) noexcept
{
    return com::ComBoundary([&]() -> HRESULT {
        const VARIANT& k = host::Dereference(key);
        if (IsNumber(k)) {
            std::size_t position = 0;
            const HRESULT hr = host::PositionFrom(k, table.Count(), &position);
            if (FAILED(hr))
                return hr;
            return table.GetAt(position, value);
        }
        WideString name;
        const HRESULT hr = NameOf(k, name);
        return FAILED(hr) ? hr : table.Get(name, value);
    });
}

CContents::CContents(std::shared_ptr<void> owner, CValueTable& table, std::function<void()> onStore)
    : CHostObject(kMembers), owner_(std::move(owner)), table_(table), onStore_(std::move(onStore))
{}

com::ComPtr<CContents> CContents::Create(std::shared_ptr<void> owner, CValueTable& table, std::function<void()> onStore)
{
    return host::MakeHostObject<CContents>(std::move(owner), table, std::move(onStore));
}

STDMETHODIMP CContents::get_Item(VARIANT VarKey, VARIANT* pvar)
{
    if (!pvar)
        return E_POINTER;
    return ReadNamedValue(table_, VarKey, pvar);
}

STDMETHODIMP CContents::put_Item(VARIANT VarKey, VARIANT var)
{
    return StoreNamedValue(table_, VarKey, var, onStore_);
}

STDMETHODIMP CContents::putref_Item(VARIANT, VARIANT)
{
    return E_INVALIDARG;
}

STDMETHODIMP CContents::get_Key(VARIANT VarKey, VARIANT* pvar)
{
    if (!pvar)
        return E_POINTER;
    return com::ComBoundary([&]() -> HRESULT {
        ::VariantInit(pvar);
        std::size_t position = 0;
        const HRESULT hr = host::PositionFrom(host::Dereference(VarKey), table_.Count(), &position);
        if (FAILED(hr))
            return hr;
        const std::optional<WideString> name = table_.NameAt(position);
        return name ? host::ReturnString(*name, pvar) : DISP_E_BADINDEX;
    });
}

STDMETHODIMP CContents::get_Count(int* cStrRet)
{
    if (!cStrRet)
        return E_POINTER;
    *cStrRet = static_cast<int>(table_.Count());
    return S_OK;
}

STDMETHODIMP CContents::get__NewEnum(IUnknown** ppEnumReturn)
{
    if (!ppEnumReturn)
        return E_POINTER;
    *ppEnumReturn = nullptr;
    return com::ComBoundary([&] { return host::ReturnStringEnumerator(table_.Names(), ppEnumReturn); });
}

STDMETHODIMP CContents::Remove(VARIANT VarKey)
{
    return com::ComBoundary([&]() -> HRESULT {
        const VARIANT& key = host::Dereference(VarKey);
        if (IsNumber(key)) {
            std::size_t position = 0;
            const HRESULT hr = host::PositionFrom(key, table_.Count(), &position);
            if (SUCCEEDED(hr))
                table_.RemoveAt(position);
            return hr == DISP_E_BADINDEX ? S_OK : hr;
        }
        WideString name;
        const HRESULT hr = NameOf(key, name);
        if (SUCCEEDED(hr))
            table_.Remove(name);
        return hr;
    });
}

STDMETHODIMP CContents::RemoveAll()
{
    table_.RemoveAll();
    return S_OK;
}

HRESULT CContents::InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kItem:
        if (FAILED(hr = args.Expect(1, 1)))
            return hr;
        return get_Item(args[0], result);
    case kKey:
        if (FAILED(hr = args.Expect(1, 1)))
            return hr;
        return get_Key(args[0], result);
    case kCount: return host::InvokeCount(*this, args, result);
    case kRemove:
        if (FAILED(hr = args.Expect(1, 1)))
            return hr;
        return Remove(args[0]);
    case kRemoveAll: return RemoveAll();
    case kNewEnum: {
        IUnknown* names = nullptr;
        if (FAILED(hr = get__NewEnum(&names)))
            return hr;
        result->vt = VT_UNKNOWN;
        result->punkVal = names;
        return S_OK;
    }
    default: return E_NOTIMPL;
    }
}

HRESULT CContents::PutIndexedMember(DISPID id, const host::CDispArgs& index, const VARIANT& value)
{
    if (id != kItem || index.Count() != 1)
        return DISP_E_BADPARAMCOUNT;
    return StoreNamedValue(table_, index[0], value, onStore_);
}

} // namespace aspserve
