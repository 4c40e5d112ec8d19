#include "server/class_factory.h"

#include "com/com_boundary.h"
#include "com/guid.h"
#include "com/module_lock.h"

namespace com {

CClassFactory::CClassFactory(InstanceCreator creator, bool aggregatable) noexcept
    : creator_(creator), aggregatable_(aggregatable)
{}

STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (SameGuid(iid, IID_IUnknown) || SameGuid(iid, IID_IClassFactory)) {
        AddRef();
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer && !aggregatable_)
        return CLASS_E_NOAGGREGATION;
    return ComBoundary([&] { return creator_(outer, iid, ppv); });
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock)
{
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

} // namespace com
