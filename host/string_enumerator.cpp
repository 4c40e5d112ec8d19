#include "host/string_enumerator.h"

#include "com/com_boundary.h"
#include "com/guid.h"
#include "host/dispatch_args.h"

namespace host {

CStringEnumerator::CStringEnumerator(std::shared_ptr<const std::vector<WideString>> items,
                                     std::size_t position) noexcept
    : items_(std::move(items)), position_(position)
{}

com::ComPtr<IEnumVARIANT> CStringEnumerator::Create(std::vector<WideString> items)
{
    auto shared = std::make_shared<const std::vector<WideString>>(std::move(items));
    return com::ComPtr<IEnumVARIANT>(new CStringEnumerator(std::move(shared), 0));
}

STDMETHODIMP CStringEnumerator::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (com::SameGuid(iid, IID_IUnknown) || com::SameGuid(iid, IID_IEnumVARIANT)) {
        *ppv = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CStringEnumerator::AddRef()
{
    return ++refs_;
}

STDMETHODIMP_(ULONG) CStringEnumerator::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP CStringEnumerator::Next(ULONG celt, VARIANT* rgVar, ULONG* fetched)
{
    if (fetched)
        *fetched = 0;
    if (!rgVar || (!fetched && celt != 1))
        return E_POINTER;
    ULONG count = 0;
    while (count < celt && position_ < items_->size()) {
        ::VariantInit(&rgVar[count]);
        const HRESULT hr = ReturnString((*items_)[position_], &rgVar[count]);
        if (FAILED(hr)) {
            while (count > 0)
                ::VariantClear(&rgVar[--count]);
            return hr;
        }
        ++count;
        ++position_;
    }
    if (fetched)
        *fetched = count;
    return count == celt ? S_OK : S_FALSE;
}

STDMETHODIMP CStringEnumerator::Skip(ULONG celt)
{
    const std::size_t left = items_->size() - position_;
    if (celt > left) {
        position_ = items_->size();
        return S_FALSE;
    }
    position_ += celt;
    return S_OK;
}

STDMETHODIMP CStringEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP CStringEnumerator::Clone(IEnumVARIANT** ppEnum)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = nullptr;
        return com::ComPtr<IEnumVARIANT>(new CStringEnumerator(items_, position_)).CopyTo(ppEnum);
    });
}

} // namespace host
