#include "server/module.h"

#include "com/guid.h"
#include "com/module_lock.h"
#include "com/never_destroyed.h"
#include "server/object_map.h"
#include "com/type_info_cache.h"

#include <new>

CKestruneModule::CKestruneModule() noexcept
{
    lockReady_ = ::InitializeCriticalSectionAndSpinCount(&lock_, 0) != FALSE;
}

CKestruneModule::~CKestruneModule()
{
    for (auto*& factory : factories_) {
        if (factory)
            factory->Release();
        factory = nullptr;
    }
    if (lockReady_)
        ::DeleteCriticalSection(&lock_);
}

namespace {

com::NeverDestroyed<CKestruneModule>& Storage() noexcept
{
    static com::NeverDestroyed<CKestruneModule> module;
    return module;
}

} // namespace

CKestruneModule& CKestruneModule::Instance() noexcept
{
    return Storage().Get();
}

bool CKestruneModule::Unload() noexcept
{
    const bool clean = Instance().ProcessDetach(DetachKind::Unload);
    Storage().Destroy();
    CProgressServices::DestroyInstance();
    return clean;
}

bool CKestruneModule::ProcessAttach(HMODULE module) noexcept
{
    module_ = module;
    if (!lockReady_)
        return false;
    return CProgressServices::Instance().Start();
}

bool CKestruneModule::ProcessDetach(DetachKind kind) noexcept
{
    CProgressServices::Instance().Stop(kind == DetachKind::Executable);
    if (lockReady_) {
        ::EnterCriticalSection(&lock_);
        for (auto*& factory : factories_) {
            if (factory)
                factory->Release();
            factory = nullptr;
        }
        ::LeaveCriticalSection(&lock_);
    }
    return true;
}

HRESULT CKestruneModule::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    constexpr auto map = com::ObjectMap();
    static_assert(map.size() == std::tuple_size_v<decltype(factories_)>, "one cached class object per entry");
    for (size_t i = 0; i < map.size(); ++i) {
        const com::ObjectMapEntry& entry = map[i];
        if (!com::SameGuid(clsid, *entry.clsid))
            continue;
        if (!entry.creator || !lockReady_)
            break;
        com::CClassFactory* factory = nullptr;
        ::EnterCriticalSection(&lock_);
        if (!factories_[i])
            factories_[i] = new (std::nothrow) com::CClassFactory(entry.creator, entry.aggregatable);
        factory = factories_[i];
        if (factory)
            factory->AddRef();
        ::LeaveCriticalSection(&lock_);
        if (!factory)
            return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(iid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CKestruneModule::CanUnloadNow() noexcept
{
    if (com::ModuleLockCount() != 0)
        return S_FALSE;
    if (CProgressServices::Instance().IsRunning())
        return S_FALSE;
    com::ReleaseCachedTypeInfo();
    return S_OK;
}
