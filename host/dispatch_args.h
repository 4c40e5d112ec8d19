// CDispArgs: the positional arguments of an IDispatch::Invoke call, in the order the script
// wrote them, plus the helpers the page host's objects share to answer a call.
//
//   HRESULT hr = args.Expect(1, 1);                 // DISP_E_BADPARAMCOUNT otherwise
//   VARIANT& name = args[0];                        // a script variable seen through its VT_BYREF
//   return ReturnObject(list.Get(), args, result);  // obj.Prop("k") reaches the default member
#pragma once

#include "platform/win.h"

#include <cstddef>
#include <vector>

namespace host {

class CDispArgs {
public:
    explicit CDispArgs(DISPPARAMS& params) noexcept : params_(params) {}

    UINT Count() const noexcept { return params_.cArgs; }

    /// Argument i (0 = first written), looking through one VT_BYREF|VT_VARIANT.
    VARIANT& operator[](UINT i) const noexcept;

    /// Argument i as passed: a script variable stays VT_BYREF|VT_VARIANT, so a member may
    /// write back to it.
    VARIANT& Raw(UINT i) const noexcept { return params_.rgvarg[params_.cArgs - 1 - i]; }

    /// The whole parameter block, for handing the arguments on to another object.
    DISPPARAMS& Params() const noexcept { return params_; }

    /// S_OK when min <= Count() <= max, else DISP_E_BADPARAMCOUNT.
    HRESULT Expect(UINT min, UINT max) const noexcept;

private:
    DISPPARAMS& params_;
};

/// v with one VT_BYREF|VT_VARIANT level removed.
const VARIANT& Dereference(const VARIANT& v) noexcept;

/// True when v (seen through one VT_BYREF|VT_VARIANT) is VT_EMPTY or a missing optional argument.
bool IsMissing(const VARIANT& v) noexcept;

/// The answer of a property that holds object: the object itself as VT_DISPATCH, or, when the
/// call carries arguments, the object's default member called with them (so that
/// Request.ServerVariables("X") reaches the collection's Item).
HRESULT ReturnObject(IDispatch* object, const CDispArgs& args, VARIANT* result) noexcept;

/// Stores a copy of text into *result as VT_BSTR; E_OUTOFMEMORY when it cannot be allocated.
HRESULT ReturnString(const WideString& text, VARIANT* result) noexcept;

/// The 1-based position held by v (any numeric type, or text that converts to one).
/// DISP_E_TYPEMISMATCH when v holds no number.
HRESULT IndexFrom(const VARIANT& v, LONG* index) noexcept;

/// The 0-based position of the item at 1-based position v (as IndexFrom reads it) among count items:
/// DISP_E_TYPEMISMATCH when v holds no number, DISP_E_BADINDEX outside 1..count.
HRESULT PositionFrom(const VARIANT& v, std::size_t count, std::size_t* position) noexcept;

/// Stores into *out a new IEnumVARIANT over items as VT_BSTR, what For Each walks. Like the page
/// objects, it holds no module lock. Throws std::bad_alloc when memory runs out.
HRESULT ReturnStringEnumerator(const std::vector<WideString>& items, IUnknown** out);

/// Count of a collection (anything with get_Count(int*)) as its InvokeMember answers it: VT_I4;
/// DISP_E_BADPARAMCOUNT with arguments.
template <class Collection>
HRESULT InvokeCount(Collection& collection, const CDispArgs& args, VARIANT* result)
{
    HRESULT hr = args.Expect(0, 0);
    if (FAILED(hr))
        return hr;
    int count = 0;
    hr = collection.get_Count(&count);
    if (SUCCEEDED(hr)) {
        result->vt = VT_I4;
        result->lVal = count;
    }
    return hr;
}

/// _NewEnum of a collection (anything with get__NewEnum(IUnknown**)) as its InvokeMember answers
/// it: VT_UNKNOWN; DISP_E_BADPARAMCOUNT with arguments.
template <class Collection>
HRESULT InvokeNewEnum(Collection& collection, const CDispArgs& args, VARIANT* result)
{
    const HRESULT hr = args.Expect(0, 0);
    if (FAILED(hr))
        return hr;
    result->vt = VT_UNKNOWN;
    return collection.get__NewEnum(&result->punkVal);
}

} // namespace host
