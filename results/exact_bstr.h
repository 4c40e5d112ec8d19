#pragma once
// Length-preserving BSTR copies (embedded NULs kept, null stays null), as the result objects store
// and hand out their strings.

#include "frame/bstr.h"
#include "frame/com_error.h"
#include "platform/win.h"

#include <utility>

namespace utils {

/// A copy of `source` of the same length; null gives null. Throws frame::ComError(E_OUTOFMEMORY).
inline frame::Bstr ExactBstrCopy(BSTR source)
{
    if (!source)
        return frame::Bstr();
    BSTR copy = ::SysAllocStringLen(source, ::SysStringLen(source));
    if (!copy)
        throw frame::ComError(E_OUTOFMEMORY);
    return frame::Bstr::Attach(copy);
}

/// What ExactBstrCopy(owned) would give, taking `owned` itself when it already is that (a whole
/// number of characters), so a large string is not copied. Throws frame::ComError(E_OUTOFMEMORY).
inline frame::Bstr ExactBstrAdopt(frame::Bstr&& owned)
{
    if (!owned.Get() || ::SysStringByteLen(owned.Get()) == ::SysStringLen(owned.Get()) * sizeof(OLECHAR))
        return std::move(owned);
    return ExactBstrCopy(owned.Get());
}

/// Writes an exact copy of `source` to *out: S_OK, E_INVALIDARG for a null out pointer,
/// E_OUTOFMEMORY when the copy cannot be allocated.
inline HRESULT ExactBstrCopyOut(BSTR source, BSTR* out) noexcept
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!source)
        return S_OK;
    BSTR copy = ::SysAllocStringLen(source, ::SysStringLen(source));
    if (!copy)
        return E_OUTOFMEMORY;
    *out = copy;
    return S_OK;
}

} // namespace utils
