#include "com/type_info_cache.h"

#include "com/com_ptr.h"
#include "com/critical_section.h"
#include "com/guid.h"
#include "com/never_destroyed.h"
#include "kestrune_idl.h"

#include <vector>

namespace com {

namespace {

struct CachedTypeInfo {
    IID iid;
    ComPtr<ITypeInfo> info;
};

struct TypeInfoCache {
    CriticalSection lock;
    ComPtr<ITypeLib> library;
    std::vector<CachedTypeInfo> entries;
};

// Never destroyed at exit: releasing type information then would call into COM after the
// process-exit guard of the entry point.
com::NeverDestroyed<TypeInfoCache>& Storage() noexcept
{
    static com::NeverDestroyed<TypeInfoCache> cache;
    return cache;
}

TypeInfoCache& Cache() noexcept
{
    return Storage().Get();
}

// The library is registered under its own locale only, and the loader's fallback from another
// locale never reaches it: ask for exactly that one.
constexpr LCID kLibraryLocale = 0x0409;

} // namespace

HRESULT GetCachedTypeInfo(REFIID iid, ITypeInfo** info) noexcept
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    try {
        TypeInfoCache& cache = Cache();
        CriticalSectionLock hold(cache.lock);
        for (const auto& entry : cache.entries) {
            if (SameGuid(entry.iid, iid))
                return entry.info.CopyTo(info);
        }
        if (!cache.library) {
            const HRESULT hr = ::LoadRegTypeLib(LIBID_KestruneLib, 1, 0, kLibraryLocale, cache.library.Receive());
            if (FAILED(hr))
                return hr;
        }
        ComPtr<ITypeInfo> loaded;
        const HRESULT hr = cache.library->GetTypeInfoOfGuid(iid, loaded.Receive());
        if (FAILED(hr))
            return hr;
        cache.entries.push_back({iid, loaded});
        return loaded.CopyTo(info);
    } catch (...) {
        return E_FAIL;
    }
}

void ReleaseCachedTypeInfo() noexcept
{
    TypeInfoCache& cache = Cache();
    CriticalSectionLock hold(cache.lock);
    cache.entries.clear();
    cache.library.Reset();
}

void UnloadTypeInfoCache() noexcept
{
    TypeInfoCache& cache = Cache();
    {
        CriticalSectionLock hold(cache.lock);
        for (auto& entry : cache.entries)
            entry.info.Detach();
        cache.library.Detach();
    }
    Storage().Destroy();
}

} // namespace com
