#pragma once
// CVariantEnumerator: IEnumVARIANT over a snapshot array of VARIANTs. Clones share the array and
// keep the enumerator they were cloned from alive. Not thread-safe: one thread at a time.

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

    /// Takes the array to enumerate; the position starts at its first element.
    void Init(std::shared_ptr<const Snapshot> items) noexcept;

    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override;

private:
    std::shared_ptr<const Snapshot> items_;
    com::ComPtr<IUnknown> source_;
    std::size_t position_ = 0;
};
