// CStringEnumerator: an IEnumVARIANT over a fixed list of strings (VT_BSTR items), what
// _NewEnum of the server variables (their names) and of a string list (its strings) hands to
// For Each.
//
//   com::ComPtr<IEnumVARIANT> e = CStringEnumerator::Create(names);
#pragma once

#include "com/com_ptr.h"
#include "platform/win.h"

#include <atomic>
#include <memory>
#include <vector>

namespace host {

class CStringEnumerator final : public IEnumVARIANT {
public:
    static com::ComPtr<IEnumVARIANT> Create(std::vector<WideString> items);

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    /// Up to celt items as VT_BSTR; S_FALSE when fewer remained. fetched may be null only when
    /// celt is 1.
    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) override;
    /// S_FALSE when fewer than celt items remained (the position is then at the end).
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    /// A new enumerator over the same items at the same position.
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override;

private:
    CStringEnumerator(std::shared_ptr<const std::vector<WideString>> items, std::size_t position) noexcept;
    ~CStringEnumerator() = default;

    std::atomic<ULONG> refs_{0};
    const std::shared_ptr<const std::vector<WideString>> items_;
    std::size_t position_;
};

} // namespace host
