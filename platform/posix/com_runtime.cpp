// The COM library: apartments (a per-thread initialisation count and mode), object creation for
// the module's own classes through DllGetClassObject, and task memory.
#include "platform/posix/com.h"
#include "platform/posix/kernel.h"

#include <atomic>
#include <cstdlib>

IUnknown* KestruneGlobalInterfaceTable(); // global_interface_table.cpp

namespace {

struct Apartment {
    int count = 0;
    DWORD mode = 0;
};
thread_local Apartment t_apartment;
std::atomic<int> g_multithreadedUsers{0};

/// True when the thread may use COM: initialised, or implicitly in an existing multithreaded apartment.
bool CanUseCom()
{
    return t_apartment.count > 0 || g_multithreadedUsers > 0;
}

} // namespace

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    DWORD mode = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_apartment.count > 0) {
        if (t_apartment.mode != mode)
            return RPC_E_CHANGED_MODE;
        ++t_apartment.count;
        return S_FALSE;
    }
    t_apartment.count = 1;
    t_apartment.mode = mode;
    if (mode == COINIT_MULTITHREADED)
        ++g_multithreadedUsers;
    return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    if (t_apartment.count == 0)
        return;
    if (--t_apartment.count == 0 && t_apartment.mode == COINIT_MULTITHREADED)
        --g_multithreadedUsers;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!CanUseCom())
        return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (!DllGetClassObject)
        return CLASS_E_CLASSNOTAVAILABLE;
    return DllGetClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!CanUseCom())
        return CO_E_NOTINITIALIZED;
    if (IsEqualGUID(rclsid, CLSID_StdGlobalInterfaceTable)) {
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        return KestruneGlobalInterfaceTable()->QueryInterface(riid, ppv);
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (hr == CLASS_E_CLASSNOTAVAILABLE)
        return REGDB_E_CLASSNOTREG; // nothing but the module's own classes is registered here
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

LPVOID CoTaskMemAlloc(SIZE_T cb)
{
    return std::malloc(cb ? cb : 1);
}

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    return std::realloc(pv, cb ? cb : 1);
}

void CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}

namespace {
thread_local IErrorInfo* t_errorInfo = nullptr;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo)
{
    if (perrinfo)
        perrinfo->AddRef();
    if (t_errorInfo)
        t_errorInfo->Release();
    t_errorInfo = perrinfo;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = t_errorInfo; // the reference passes to the caller
    t_errorInfo = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}
