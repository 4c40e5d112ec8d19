#include "host/dispatch_args.h"

#include "com/variant.h"
#include "com/variant_enumerator.h"

#include <memory>

namespace host {

VARIANT& CDispArgs::operator[](UINT i) const noexcept
{
    VARIANT& raw = Raw(i);
    if (raw.vt == (VT_BYREF | VT_VARIANT) && raw.pvarVal)
        return *raw.pvarVal;
    return raw;
}

HRESULT CDispArgs::Expect(UINT min, UINT max) const noexcept
{
    return (Count() >= min && Count() <= max) ? S_OK : DISP_E_BADPARAMCOUNT;
}

const VARIANT& Dereference(const VARIANT& v) noexcept
{
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal)
        return *v.pvarVal;
    return v;
}

bool IsMissing(const VARIANT& v) noexcept
{
    const VARIANT& value = Dereference(v);
    return value.vt == VT_EMPTY || (value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND);
}

HRESULT ReturnObject(IDispatch* object, const CDispArgs& args, VARIANT* result) noexcept
{
    if (args.Count() > 0)
        return object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              &args.Params(), result, nullptr, nullptr);
    object->AddRef();
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    return S_OK;
}

HRESULT ReturnString(const WideString& text, VARIANT* result) noexcept
{
    BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = copy;
    return S_OK;
}

HRESULT IndexFrom(const VARIANT& v, LONG* index) noexcept
{
    com::Variant number;
    const HRESULT hr = ::VariantChangeType(number.Get(), const_cast<VARIANT*>(&Dereference(v)), 0, VT_I4);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    *index = number.Get()->lVal;
    return S_OK;
}

HRESULT PositionFrom(const VARIANT& v, std::size_t count, std::size_t* position) noexcept
{
    LONG index = 0;
    const HRESULT hr = IndexFrom(v, &index);
    if (FAILED(hr))
        return hr;
    if (index < 1 || static_cast<std::size_t>(index) > count)
        return DISP_E_BADINDEX;
    *position = static_cast<std::size_t>(index) - 1;
    return S_OK;
}

HRESULT ReturnStringEnumerator(const std::vector<WideString>& items, IUnknown** out)
{
    auto snapshot = std::make_shared<CVariantEnumerator::Snapshot>(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const HRESULT hr = ReturnString(items[i], (*snapshot)[i].Get());
        if (FAILED(hr))
            return hr;
    }
    com::ComPtr<IEnumVARIANT> enumerator;
    const HRESULT hr = CVariantEnumerator::Create<com::NoModuleLock>(std::move(snapshot), enumerator);
    if (FAILED(hr))
        return hr;
    *out = enumerator.Detach();
    return S_OK;
}

} // namespace host
