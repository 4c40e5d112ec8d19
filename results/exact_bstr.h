#pragma once
// Length-preserving BSTR copies (embedded NULs kept, null stays null), as the result objects store
// and hand out their strings.

#include "com/bstr.h"
#include "com/com_error.h"
#include "platform/win.h"

#include <utility>

namespace utils {

/// A copy of `source` of the same length; null gives null. Throws com::ComError(E_OUTOFMEMORY).
inline com::Bstr ExactBstrCopy(BSTR source)
{
    if (!source)
        return com::Bstr();
    BSTR copy = ::SysAllocStringLen(source, ::SysStringLen(source));
    if (!copy)
        throw com::ComError(E_OUTOFMEMORY);
    return com::Bstr::Attach(copy);
}

/// What ExactBstrCopy(owned) would give, taking `owned` itself when it already is that (a whole
/// number of characters), so a large string is not copied. Throws com::ComError(E_OUTOFMEMORY).
inline com::Bstr ExactBstrAdopt(com::Bstr&& owned)
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
