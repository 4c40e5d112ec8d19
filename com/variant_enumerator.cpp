#include "com/variant_enumerator.h"

#include "com/com_boundary.h"

#include <algorithm>

void CVariantEnumerator::Init(std::shared_ptr<const Snapshot> items) noexcept
{
    items_ = std::move(items);
    position_ = 0;
}

STDMETHODIMP CVariantEnumerator::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched)
{
    if (pCeltFetched)
        *pCeltFetched = 0;
    if (celt == 0)
        return E_INVALIDARG;
    if (!rgVar || (celt != 1 && !pCeltFetched))
        return E_POINTER;
    const std::size_t remaining = items_ ? items_->size() - position_ : 0;
    const ULONG count = static_cast<ULONG>(std::min<std::size_t>(celt, remaining));
    for (ULONG i = 0; i < count; ++i) {
        ::VariantInit(&rgVar[i]);
        const HRESULT hr = ::VariantCopy(&rgVar[i], const_cast<VARIANT*>((*items_)[position_ + i].Get()));
        if (FAILED(hr)) {
            for (ULONG j = 0; j < i; ++j)
                ::VariantClear(&rgVar[j]);
            return hr;
        }
    }
    position_ += count;
    if (pCeltFetched)
        *pCeltFetched = count;
    return count < celt ? S_FALSE : S_OK;
}

STDMETHODIMP CVariantEnumerator::Skip(ULONG celt)
{
    if (celt == 0)
        return E_INVALIDARG;
    const std::size_t remaining = items_ ? items_->size() - position_ : 0;
    const std::size_t step = std::min<std::size_t>(celt, remaining);
    position_ += step;
    return step < celt ? S_FALSE : S_OK;
}

STDMETHODIMP CVariantEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP CVariantEnumerator::Clone(IEnumVARIANT** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    return com::ComBoundary([&]() -> HRESULT {
        CVariantEnumerator* created = nullptr;
        const HRESULT hr = createEmpty_(&created);
        if (FAILED(hr))
            return hr;
        auto clone = com::ComPtr<CVariantEnumerator>::Attach(created);
        clone->items_ = items_;
        clone->position_ = position_;
        clone->source_ = com::ComPtr<IUnknown>(ControllingUnknown());
        *ppEnum = static_cast<IEnumVARIANT*>(clone.Detach());
        return S_OK;
    });
}
