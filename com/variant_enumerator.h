#pragma once
// CVariantEnumerator: IEnumVARIANT over a snapshot array of VARIANTs. Clones share the array and
// keep the enumerator they were cloned from alive. Not thread-safe: one thread at a time.
//
//   com::ComPtr<IEnumVARIANT> items;
//   HRESULT hr = CVariantEnumerator::Create(std::move(snapshot), items);                   // the component's
//   hr = CVariantEnumerator::Create<com::NoModuleLock>(std::move(snapshot), items);        // a page host's
//
// An enumerator made with com::CreateComObject and Init holds the module lock; so do its clones. A
// clone always takes the module-lock policy of the enumerator it was cloned from.

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/variant.h"
#include "platform/win.h"

#include <memory>
#include <vector>

class CVariantEnumerator : public com::ComObjectRoot, public IEnumVARIANT {
public:
    KESTRUNE_INTERFACE_TABLE(CVariantEnumerator, KESTRUNE_INTERFACE(CVariantEnumerator, IEnumVARIANT))

    using Snapshot = std::vector<com::Variant>;

    /// A new enumerator over items, as com::ComObject<CVariantEnumerator, ModuleLockPolicy>; out
    /// holds its one reference.
    template <class ModuleLockPolicy = com::HoldsModuleLock>
    static HRESULT Create(std::shared_ptr<const Snapshot> items, com::ComPtr<IEnumVARIANT>& out) noexcept
    {
        CVariantEnumerator* created = nullptr;
        const HRESULT hr = CreateEmpty<ModuleLockPolicy>(&created);
        if (FAILED(hr))
            return hr;
        created->Init(std::move(items));
        out = com::ComPtr<IEnumVARIANT>::Attach(created);
        return S_OK;
    }

    /// Takes the array to enumerate; the position starts at its first element.
    void Init(std::shared_ptr<const Snapshot> items) noexcept;

    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override;

private:
    // Creates an enumerator over nothing with the given policy; *out holds its one reference.
    using TCreateEmpty = HRESULT (*)(CVariantEnumerator** out) noexcept;
    template <class ModuleLockPolicy>
    static HRESULT CreateEmpty(CVariantEnumerator** out) noexcept
    {
        com::ComPtr<com::ComObject<CVariantEnumerator, ModuleLockPolicy>> object;
        const HRESULT hr = com::CreateComObject(object);
        if (FAILED(hr))
            return hr;
        object->createEmpty_ = &CreateEmpty<ModuleLockPolicy>;
        *out = object.Detach();
        return S_OK;
    }

    std::shared_ptr<const Snapshot> items_;
    com::ComPtr<IUnknown> source_;
    std::size_t position_ = 0;
    TCreateEmpty createEmpty_ = &CreateEmpty<com::HoldsModuleLock>; // how Clone makes one of the same kind
};
