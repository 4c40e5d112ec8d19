#include "frame/module.h"

#include "frame/guid.h"
#include "frame/module_lock.h"
#include "frame/never_destroyed.h"
#include "frame/object_map.h"
#include "frame/type_info_cache.h"

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

frame::NeverDestroyed<CKestruneModule>& Storage() noexcept
{
    static frame::NeverDestroyed<CKestruneModule> module;
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
    return clean;
}

bool CKestruneModule::ProcessAttach(HMODULE module) noexcept
{
    module_ = module;
    if (!lockReady_)
        return false;
    if (FAILED(uploadManager_.Init()))
        return false;
    if (FAILED(progressTimer_.Init()))
        return false;
    return true;
}

bool CKestruneModule::ProcessDetach(DetachKind kind) noexcept
{
    const bool mayCallCom = kind == DetachKind::Executable;
    bool clean = true;
    try {
        uploadManager_.Term(mayCallCom);
    } catch (...) {
        clean = false;
    }
    try {
        progressTimer_.Term(mayCallCom);
    } catch (...) {
        clean = false;
    }
    if (lockReady_) {
        ::EnterCriticalSection(&lock_);
        for (auto*& factory : factories_) {
            if (factory)
                factory->Release();
            factory = nullptr;
        }
        ::LeaveCriticalSection(&lock_);
    }
    return clean;
}

HRESULT CKestruneModule::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    constexpr auto map = frame::ObjectMap();
    static_assert(map.size() == std::tuple_size_v<decltype(factories_)>, "one cached class object per entry");
    for (size_t i = 0; i < map.size(); ++i) {
        const frame::ObjectMapEntry& entry = map[i];
        if (!frame::SameGuid(clsid, *entry.clsid))
            continue;
        if (!entry.creator || !lockReady_)
            break;
        frame::CClassFactory* factory = nullptr;
        ::EnterCriticalSection(&lock_);
        if (!factories_[i])
            factories_[i] = new (std::nothrow) frame::CClassFactory(entry.creator, entry.aggregatable);
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
    if (frame::ModuleLockCount() != 0)
        return S_FALSE;
    if (uploadManager_.IsRunning() || progressTimer_.IsRunning())
        return S_FALSE;
    frame::ReleaseCachedTypeInfo();
    return S_OK;
}
