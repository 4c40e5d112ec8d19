// SAFEARRAY: descriptor with the bounds stored last dimension first (as on Windows), the element
// type kept in a header before the descriptor, locking that blocks destruction.
#include "platform/posix/automation.h"
#include "platform/posix/fault_injection.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kHeader = 16; // holds the VARTYPE, keeps the descriptor 16-byte aligned

ULONG ElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8: return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
    }
}

USHORT FeaturesOf(VARTYPE vt)
{
    USHORT f = FADF_HAVEVARTYPE;
    if (vt == VT_BSTR)
        f |= FADF_BSTR;
    else if (vt == VT_UNKNOWN)
        f |= FADF_UNKNOWN;
    else if (vt == VT_DISPATCH)
        f |= FADF_DISPATCH;
    else if (vt == VT_VARIANT)
        f |= FADF_VARIANT;
    return f;
}

VARTYPE& StoredType(SAFEARRAY* psa)
{
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<unsigned char*>(psa) - kHeader);
}

size_t ElementCount(const SAFEARRAY* psa)
{
    size_t n = 1;
    for (USHORT i = 0; i < psa->cDims; ++i)
        n *= psa->rgsabound[i].cElements;
    return n;
}

/// Releases what each element owns (strings, references, variants) and zeroes the data.
void ClearElements(SAFEARRAY* psa)
{
    if (!psa->pvData)
        return;
    size_t n = ElementCount(psa);
    if (psa->fFeatures & FADF_BSTR) {
        auto* items = static_cast<BSTR*>(psa->pvData);
        for (size_t i = 0; i < n; ++i)
            SysFreeString(items[i]);
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* items = static_cast<IUnknown**>(psa->pvData);
        for (size_t i = 0; i < n; ++i)
            if (items[i])
                items[i]->Release();
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* items = static_cast<VARIANT*>(psa->pvData);
        for (size_t i = 0; i < n; ++i)
            VariantClear(&items[i]);
    }
    std::memset(psa->pvData, 0, n * psa->cbElements);
}

/// Byte offset of the element at indices (given first dimension first), or -1 when out of range.
long long OffsetOf(SAFEARRAY* psa, const LONG* indices)
{
    size_t offset = 0;
    size_t stride = 1;
    // rgsabound[cDims - 1] is the first dimension; the last dimension varies slowest.
    for (USHORT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
        long long rel = static_cast<long long>(indices[d]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<long long>(b.cElements))
            return -1;
        offset += static_cast<size_t>(rel) * stride;
        stride *= b.cElements;
    }
    return static_cast<long long>(offset * psa->cbElements);
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound)
{
    ULONG size = ElementSize(vt);
    if (cDims == 0 || cDims > 0xFFFF || !rgsabound || size == 0)
        return nullptr;
    if (platform::faults::detail::ShouldFail(platform::faults::Point::SafeArrayAlloc))
        return nullptr;
    size_t count = 1;
    for (UINT i = 0; i < cDims; ++i) {
        if (rgsabound[i].cElements && count > SIZE_MAX / 2 / size / rgsabound[i].cElements)
            return nullptr;
        count *= rgsabound[i].cElements;
    }
    size_t descriptor = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(std::calloc(1, kHeader + descriptor));
    if (!block)
        return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeader);
    StoredType(psa) = vt;
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesOf(vt);
    psa->cbElements = size;
    for (UINT i = 0; i < cDims; ++i)
        psa->rgsabound[cDims - 1 - i] = rgsabound[i];
    psa->pvData = std::calloc(count ? count : 1, size);
    if (!psa->pvData) {
        std::free(block);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    ClearElements(psa);
    std::free(psa->pvData);
    std::free(reinterpret_cast<unsigned char*>(psa) - kHeader);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (__atomic_add_fetch(&psa->cLocks, 1, __ATOMIC_SEQ_CST) > 0xFFFF) {
        __atomic_sub_fetch(&psa->cLocks, 1, __ATOMIC_SEQ_CST);
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    ULONG current = __atomic_load_n(&psa->cLocks, __ATOMIC_SEQ_CST);
    do {
        if (current == 0)
            return E_UNEXPECTED;
    } while (
        !__atomic_compare_exchange_n(&psa->cLocks, &current, current - 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa)
{
    return SafeArrayUnlock(psa);
}

UINT SafeArrayGetDim(SAFEARRAY* psa)
{
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa)
{
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(b.lLbound + static_cast<long long>(b.cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    *pvt = StoredType(psa);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv)
        return E_INVALIDARG;
    long long offset = OffsetOf(psa, rgIndices);
    if (offset < 0)
        return DISP_E_BADINDEX;
    const unsigned char* item = static_cast<unsigned char*>(psa->pvData) + offset;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR source = *reinterpret_cast<const BSTR*>(item);
        BSTR copy = nullptr;
        if (source && !(copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source))))
            return E_OUTOFMEMORY;
        *static_cast<BSTR*>(pv) = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* p = *reinterpret_cast<IUnknown* const*>(item);
        if (p)
            p->AddRef();
        *static_cast<IUnknown**>(pv) = p;
    } else if (psa->fFeatures & FADF_VARIANT) {
        VARIANT* out = static_cast<VARIANT*>(pv);
        VariantInit(out);
        return VariantCopy(out, reinterpret_cast<const VARIANT*>(item));
    } else {
        std::memcpy(pv, item, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices)
        return E_INVALIDARG;
    long long offset = OffsetOf(psa, rgIndices);
    if (offset < 0)
        return DISP_E_BADINDEX;
    unsigned char* item = static_cast<unsigned char*>(psa->pvData) + offset;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR source = static_cast<BSTR>(pv);
        BSTR copy = nullptr;
        if (source && !(copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source))))
            return E_OUTOFMEMORY;
        SysFreeString(*reinterpret_cast<BSTR*>(item));
        *reinterpret_cast<BSTR*>(item) = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* p = static_cast<IUnknown*>(pv);
        if (p)
            p->AddRef();
        IUnknown*& slot = *reinterpret_cast<IUnknown**>(item);
        if (slot)
            slot->Release();
        slot = p;
    } else if (psa->fFeatures & FADF_VARIANT) {
        return VariantCopy(reinterpret_cast<VARIANT*>(item), static_cast<const VARIANT*>(pv));
    } else {
        if (!pv)
            return E_INVALIDARG;
        std::memcpy(item, pv, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;
    SAFEARRAYBOUND bounds[64];
    if (psa->cDims > 64)
        return E_OUTOFMEMORY;
    for (USHORT i = 0; i < psa->cDims; ++i)
        bounds[i] = psa->rgsabound[psa->cDims - 1 - i];
    SAFEARRAY* copy = SafeArrayCreate(StoredType(psa), psa->cDims, bounds);
    if (!copy)
        return E_OUTOFMEMORY;
    size_t n = ElementCount(psa);
    if (psa->fFeatures & FADF_BSTR) {
        auto* from = static_cast<BSTR*>(psa->pvData);
        auto* to = static_cast<BSTR*>(copy->pvData);
        for (size_t i = 0; i < n; ++i) {
            if (from[i] &&
                !(to[i] = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(from[i]), SysStringByteLen(from[i])))) {
                SafeArrayDestroy(copy);
                return E_OUTOFMEMORY;
            }
        }
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* from = static_cast<IUnknown**>(psa->pvData);
        auto* to = static_cast<IUnknown**>(copy->pvData);
        for (size_t i = 0; i < n; ++i)
            if ((to[i] = from[i]))
                to[i]->AddRef();
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* from = static_cast<VARIANT*>(psa->pvData);
        auto* to = static_cast<VARIANT*>(copy->pvData);
        for (size_t i = 0; i < n; ++i) {
            HRESULT hr = VariantCopy(&to[i], &from[i]);
            if (FAILED(hr)) {
                SafeArrayDestroy(copy);
                return hr;
            }
        }
    } else {
        std::memcpy(copy->pvData, psa->pvData, n * psa->cbElements);
    }
    *ppsaOut = copy;
    return S_OK;
}
