// VARIANT ownership (init, clear, copy, copy through a reference) and VariantChangeType for the
// types the product meets: empty, null, integers, reals, booleans, strings, objects (through their
// default value) and references to them. Currency, dates and decimals are not converted.
#include "platform/posix/automation.h"
#include "platform/posix/kernel.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool IsKnownScalar(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_VARIANT: return true;
    default: return false;
    }
}

BSTR CopyBstr(BSTR source, HRESULT& hr)
{
    hr = S_OK;
    if (!source)
        return nullptr;
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    if (!copy)
        hr = E_OUTOFMEMORY;
    return copy;
}

/// Copies the value of src (not a reference) into an empty dest, taking ownership as required.
HRESULT CopyValue(VARIANT* dest, const VARIANT* src)
{
    VARTYPE vt = src->vt;
    if (vt & VT_ARRAY) {
        SAFEARRAY* copy = nullptr;
        HRESULT hr = SafeArrayCopy(src->parray, &copy);
        if (FAILED(hr))
            return hr;
        std::memcpy(dest, src, sizeof(VARIANT));
        dest->parray = copy;
        return S_OK;
    }
    if (vt & VT_BYREF) {
        std::memcpy(dest, src, sizeof(VARIANT));
        return S_OK;
    }
    if (!IsKnownScalar(vt & VT_TYPEMASK) || vt == VT_VARIANT)
        return DISP_E_BADVARTYPE;
    std::memcpy(dest, src, sizeof(VARIANT));
    if (vt == VT_BSTR) {
        HRESULT hr;
        dest->bstrVal = CopyBstr(src->bstrVal, hr);
        if (FAILED(hr)) {
            VariantInit(dest);
            return hr;
        }
    } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && src->punkVal) {
        src->punkVal->AddRef();
    }
    return S_OK;
}

/// Copies the value a VT_BYREF variant points to into an empty dest.
HRESULT CopyReferenced(VARIANT* dest, const VARIANT* src)
{
    VARTYPE base = src->vt & ~VT_BYREF;
    if (!src->byref)
        return E_INVALIDARG;
    if (base == VT_VARIANT) {
        const VARIANT* inner = src->pvarVal;
        if (inner->vt == (VT_VARIANT | VT_BYREF))
            return E_INVALIDARG;
        return CopyValue(dest, inner);
    }
    VARIANT value;
    VariantInit(&value);
    value.vt = base;
    if (base & VT_ARRAY) {
        value.parray = *src->pparray;
    } else {
        switch (base) {
        case VT_I1:
        case VT_UI1: value.bVal = *src->pbVal; break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL: value.iVal = *src->piVal; break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR: value.lVal = *src->plVal; break;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE: value.llVal = *src->pllVal; break;
        case VT_BSTR: value.bstrVal = *src->pbstrVal; break;
        case VT_DISPATCH:
        case VT_UNKNOWN: value.punkVal = *src->ppunkVal; break;
        case VT_DECIMAL:
            value.decVal = *src->pdecVal;
            value.vt = VT_DECIMAL;
            break;
        default: return DISP_E_BADVARTYPE;
        }
    }
    return CopyValue(dest, &value);
}

/// Moves tmp into dest after clearing dest; on failure tmp is cleared.
HRESULT Replace(VARIANT* dest, VARIANT* tmp)
{
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(tmp);
        return hr;
    }
    std::memcpy(dest, tmp, sizeof(VARIANT));
    return S_OK;
}

// ---- conversions -------------------------------------------------------------------------

enum class NumKind { Signed, Unsigned, Real };

struct Number {
    NumKind kind;
    long long i = 0;
    unsigned long long u = 0;
    double r = 0;
};

BSTR AsciiBstr(const std::string& text)
{
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (b)
        for (size_t i = 0; i < text.size(); ++i)
            b[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
    return b;
}

/// Parses a number the way the automation conversions read strings: surrounding blanks, a sign,
/// digits with an optional fraction and exponent, or &H / &O prefixed integers.
HRESULT ParseNumber(BSTR text, Number& out)
{
    UINT n = SysStringLen(text);
    std::string s;
    for (UINT i = 0; i < n; ++i) {
        if (text[i] > 0x7E || text[i] == 0)
            return DISP_E_TYPEMISMATCH;
        s.push_back(static_cast<char>(text[i]));
    }
    size_t b = s.find_first_not_of(" \t\r\n");
    size_t e = s.find_last_not_of(" \t\r\n");
    if (b == std::string::npos)
        return DISP_E_TYPEMISMATCH;
    s = s.substr(b, e - b + 1);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        char* end = nullptr;
        errno = 0;
        unsigned long long v = std::strtoull(s.c_str() + 2, &end, base);
        if (*end || errno || s[2] == '-' || s[2] == '+')
            return DISP_E_TYPEMISMATCH;
        out.kind = NumKind::Signed;
        out.i = v <= 0xFFFF          ? static_cast<SHORT>(v)
                : v <= 0xFFFFFFFFull ? static_cast<LONG>(v)
                                     : static_cast<long long>(v);
        return S_OK;
    }
    for (char c : s)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return DISP_E_TYPEMISMATCH;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (*end || end == s.c_str())
        return DISP_E_TYPEMISMATCH;
    out.kind = NumKind::Real;
    out.r = v;
    return S_OK;
}

double DecimalValue(const DECIMAL& d);

/// Reads src (no reference, no object) as a number.
HRESULT ToNumber(const VARIANT* src, Number& out)
{
    switch (src->vt) {
    case VT_EMPTY: out = {NumKind::Signed, 0}; return S_OK;
    case VT_I1: out = {NumKind::Signed, src->cVal}; return S_OK;
    case VT_UI1: out = {NumKind::Signed, src->bVal}; return S_OK;
    case VT_I2: out = {NumKind::Signed, src->iVal}; return S_OK;
    case VT_UI2: out = {NumKind::Signed, src->uiVal}; return S_OK;
    case VT_I4:
    case VT_INT: out = {NumKind::Signed, src->lVal}; return S_OK;
    case VT_UI4:
    case VT_UINT: out = {NumKind::Signed, static_cast<long long>(src->ulVal)}; return S_OK;
    case VT_I8: out = {NumKind::Signed, src->llVal}; return S_OK;
    case VT_UI8:
        out.kind = NumKind::Unsigned;
        out.u = src->ullVal;
        return S_OK;
    case VT_BOOL: out = {NumKind::Signed, src->boolVal ? -1 : 0}; return S_OK;
    case VT_R4:
        out.kind = NumKind::Real;
        out.r = src->fltVal;
        return S_OK;
    case VT_R8:
        out.kind = NumKind::Real;
        out.r = src->dblVal;
        return S_OK;
    case VT_BSTR: return ParseNumber(src->bstrVal, out);
    case VT_DECIMAL:
        out.kind = NumKind::Real;
        out.r = DecimalValue(src->decVal);
        return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
}

/// Rounds half to even, as the automation conversions do.
HRESULT ToInteger(const Number& n, long long min, long long max, long long& out)
{
    if (n.kind == NumKind::Unsigned) {
        if (n.u > static_cast<unsigned long long>(max))
            return DISP_E_OVERFLOW;
        out = static_cast<long long>(n.u);
        return S_OK;
    }
    if (n.kind == NumKind::Real) {
        if (std::isnan(n.r))
            return DISP_E_OVERFLOW;
        double r = std::nearbyint(n.r); // default rounding mode: to nearest, ties to even
        if (r < static_cast<double>(min) - 0.5 || r > static_cast<double>(max) + 0.5)
            return DISP_E_OVERFLOW;
        out = static_cast<long long>(r);
        return S_OK;
    }
    if (n.i < min || n.i > max)
        return DISP_E_OVERFLOW;
    out = n.i;
    return S_OK;
}

std::string RealText(double v, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v); // "1E+20", "1.5E-07" as the automation text
    return buf;
}

/// Decimal text of a DECIMAL: a 96-bit integer scaled by a power of ten.
std::string DecimalText(const DECIMAL& d)
{
    unsigned __int128 v = (static_cast<unsigned __int128>(d.Hi32) << 64) | d.Lo64;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v);
    if (d.scale) {
        while (digits.size() <= d.scale)
            digits.insert(digits.begin(), '0');
        digits.insert(digits.end() - d.scale, '.');
        while (digits.back() == '0')
            digits.pop_back();
        if (digits.back() == '.')
            digits.pop_back();
    }
    if ((d.sign & 0x80) && digits != "0")
        digits.insert(digits.begin(), '-');
    return digits;
}

double DecimalValue(const DECIMAL& d)
{
    double v = static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64);
    for (int i = 0; i < d.scale; ++i)
        v /= 10;
    return (d.sign & 0x80) ? -v : v;
}

HRESULT ToText(const VARIANT* src, USHORT flags, BSTR& out)
{
    std::string text;
    switch (src->vt) {
    case VT_EMPTY: break;
    case VT_BSTR: {
        HRESULT hr;
        out = CopyBstr(src->bstrVal, hr);
        if (SUCCEEDED(hr) && !out)
            out = SysAllocStringLen(nullptr, 0);
        return out ? S_OK : E_OUTOFMEMORY;
    }
    case VT_BOOL:
        if (flags & VARIANT_ALPHABOOL)
            text = src->boolVal ? "True" : "False";
        else
            text = src->boolVal ? "-1" : "0";
        break;
    case VT_R4: text = RealText(src->fltVal, 7); break;
    case VT_R8: text = RealText(src->dblVal, 15); break;
    case VT_UI8: text = std::to_string(src->ullVal); break;
    case VT_DECIMAL: text = DecimalText(src->decVal); break;
    default: {
        Number n;
        HRESULT hr = ToNumber(src, n);
        if (FAILED(hr))
            return hr;
        text = std::to_string(n.i);
    }
    }
    out = AsciiBstr(text);
    return out ? S_OK : E_OUTOFMEMORY;
}

/// Asks an object for its default value (DISPID_VALUE, property get).
HRESULT DefaultValue(IDispatch* object, VARIANT* result)
{
    if (!object)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(result);
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result,
                                nullptr, nullptr);
    if (FAILED(hr)) {
        VariantClear(result);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT Convert(VARIANT* out, const VARIANT* src, USHORT flags, VARTYPE vt, int depth)
{
    if (src->vt == vt)
        return CopyValue(out, src);
    if (src->vt & VT_BYREF) {
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = CopyReferenced(&value, src);
        if (SUCCEEDED(hr))
            hr = Convert(out, &value, flags, vt, depth);
        VariantClear(&value);
        return hr;
    }
    if ((src->vt & VT_ARRAY) || (vt & (VT_ARRAY | VT_BYREF)))
        return DISP_E_TYPEMISMATCH;
    if (src->vt == VT_DISPATCH && vt != VT_UNKNOWN) {
        if ((flags & VARIANT_NOVALUEPROP) || depth > 8)
            return DISP_E_TYPEMISMATCH;
        VARIANT value;
        HRESULT hr = DefaultValue(src->pdispVal, &value);
        if (SUCCEEDED(hr))
            hr = Convert(out, &value, flags, vt, depth + 1);
        VariantClear(&value);
        return hr;
    }
    if (src->vt == VT_NULL && vt != VT_EMPTY)
        return DISP_E_TYPEMISMATCH;

    VariantInit(out);
    switch (vt) {
    case VT_EMPTY: return S_OK;
    case VT_NULL: out->vt = VT_NULL; return S_OK;
    case VT_BSTR: {
        BSTR text = nullptr;
        HRESULT hr = ToText(src, flags, text);
        if (FAILED(hr))
            return hr;
        out->vt = VT_BSTR;
        out->bstrVal = text;
        return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
        if (src->vt != VT_DISPATCH && src->vt != VT_UNKNOWN)
            return DISP_E_TYPEMISMATCH;
        if (!src->punkVal) {
            out->vt = vt;
            return S_OK;
        }
        void* p = nullptr;
        HRESULT hr = src->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
        if (FAILED(hr))
            return DISP_E_TYPEMISMATCH;
        out->vt = vt;
        out->punkVal = static_cast<IUnknown*>(p);
        return S_OK;
    }
    case VT_R4:
    case VT_R8: {
        Number n;
        HRESULT hr = ToNumber(src, n);
        if (FAILED(hr))
            return hr;
        double r = n.kind == NumKind::Real       ? n.r
                   : n.kind == NumKind::Unsigned ? static_cast<double>(n.u)
                                                 : static_cast<double>(n.i);
        out->vt = vt;
        if (vt == VT_R8)
            out->dblVal = r;
        else
            out->fltVal = static_cast<float>(r);
        return S_OK;
    }
    default: break;
    }

    long long min, max;
    switch (vt) {
    case VT_I1:
        min = -128;
        max = 127;
        break;
    case VT_UI1:
        min = 0;
        max = 255;
        break;
    case VT_I2:
        min = -32768;
        max = 32767;
        break;
    case VT_UI2:
        min = 0;
        max = 65535;
        break;
    case VT_I4:
    case VT_INT:
        min = INT32_MIN;
        max = INT32_MAX;
        break;
    case VT_UI4:
    case VT_UINT:
        min = 0;
        max = UINT32_MAX;
        break;
    case VT_I8:
        min = INT64_MIN;
        max = INT64_MAX;
        break;
    case VT_BOOL:
        min = INT64_MIN;
        max = INT64_MAX;
        break;
    default: return DISP_E_TYPEMISMATCH;
    }
    Number n;
    HRESULT hr = ToNumber(src, n);
    if (FAILED(hr))
        return hr;
    long long value;
    if (vt == VT_BOOL) {
        bool nonzero = n.kind == NumKind::Real ? n.r != 0 : n.kind == NumKind::Unsigned ? n.u != 0 : n.i != 0;
        out->vt = VT_BOOL;
        out->boolVal = nonzero ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    hr = ToInteger(n, min, max, value);
    if (FAILED(hr))
        return hr;
    out->vt = vt;
    switch (vt) {
    case VT_I1: out->cVal = static_cast<CHAR>(value); break;
    case VT_UI1: out->bVal = static_cast<BYTE>(value); break;
    case VT_I2: out->iVal = static_cast<SHORT>(value); break;
    case VT_UI2: out->uiVal = static_cast<USHORT>(value); break;
    case VT_I4:
    case VT_INT: out->lVal = static_cast<LONG>(value); break;
    case VT_UI4:
    case VT_UINT: out->ulVal = static_cast<ULONG>(value); break;
    default: out->llVal = value; break;
    }
    return S_OK;
}

} // namespace

void VariantInit(VARIANTARG* pvarg)
{
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    VARTYPE vt = pvarg->vt;
    if (vt & VT_BYREF) {
        // references own nothing
    } else if (vt & VT_ARRAY) {
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr))
            return hr;
    } else if (vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
    } else if (!IsKnownScalar(vt) || vt == VT_VARIANT) {
        return DISP_E_BADVARTYPE;
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    VARIANT tmp;
    VariantInit(&tmp);
    HRESULT hr = CopyValue(&tmp, pvargSrc);
    if (FAILED(hr))
        return hr;
    return Replace(pvargDest, &tmp);
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc)
{
    if (!pvarDest || !pvargSrc)
        return E_INVALIDARG;
    VARIANT tmp;
    VariantInit(&tmp);
    HRESULT hr = (pvargSrc->vt & VT_BYREF) ? CopyReferenced(&tmp, pvargSrc) : CopyValue(&tmp, pvargSrc);
    if (FAILED(hr))
        return hr;
    return Replace(pvarDest, &tmp);
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT wFlags, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    VARIANT tmp;
    VariantInit(&tmp);
    HRESULT hr = Convert(&tmp, pvarSrc, wFlags, vt, 0);
    if (FAILED(hr)) {
        VariantClear(&tmp);
        return hr;
    }
    return Replace(pvargDest, &tmp);
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt)
{
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
