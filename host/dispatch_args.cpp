#include "host/dispatch_args.h"

#include "com/variant.h"

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

} // namespace host
