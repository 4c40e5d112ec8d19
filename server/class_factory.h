// CClassFactory: the class object of one creatable class. The module creates it on the first
// DllGetClassObject for the class and keeps it until unload; it does not hold the module lock
// (only LockServer does), so a cached factory never keeps the DLL loaded.
#pragma once

#include "server/instance_creators.h"
#include "platform/win.h"

namespace com {

class CClassFactory final : public IClassFactory {
public:
    CClassFactory(InstanceCreator creator, bool aggregatable) noexcept;
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    /// Refuses an outer object with CLASS_E_NOAGGREGATION unless the class is aggregatable,
    /// then hands over to the class's instance creator.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override;
    /// Adds or takes one module lock count.
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~CClassFactory() = default;

    volatile LONG refs_ = 1;
    InstanceCreator creator_;
    bool aggregatable_;
};

} // namespace com
