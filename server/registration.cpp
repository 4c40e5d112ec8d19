#include "server/registration.h"

#include "com/com_boundary.h"
#include "com/com_ptr.h"
#include "com/guid.h"
#include "server/object_map.h"
#include "com/registry_key.h"
#include "kestrune_idl.h"

#include <vector>

namespace com {

namespace {

// {7458B7E8-3162-4286-A81D-3165A2B7B03F}: the module's AppID.
const GUID kAppId = {0x7458b7e8, 0x3162, 0x4286, {0xa8, 0x1d, 0x31, 0x65, 0xa2, 0xb7, 0xb0, 0x3f}};

const WideString kProgIdPrefix = OLESTR("Kestrune.");
const WideString kAppIdModuleKey = OLESTR("AppID\\Kestrune.DLL");

// Runs under the system default locale and puts the caller's back afterwards.
class ThreadLocaleSwitch {
public:
    ThreadLocaleSwitch() noexcept : saved_(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~ThreadLocaleSwitch() { ::SetThreadLocale(saved_); }
    ThreadLocaleSwitch(const ThreadLocaleSwitch&) = delete;
    ThreadLocaleSwitch& operator=(const ThreadLocaleSwitch&) = delete;

private:
    LCID saved_;
};

WideString ClsidKey(const ObjectMapEntry& entry)
{
    return OLESTR("CLSID\\") + GuidToString(*entry.clsid);
}

WideString VersionIndependentProgId(const ObjectMapEntry& entry)
{
    return kProgIdPrefix + entry.name;
}

WideString VersionedProgId(const ObjectMapEntry& entry)
{
    return VersionIndependentProgId(entry) + OLESTR(".1");
}

void RegisterAppId()
{
    const WideString appId = GuidToString(kAppId);
    RegistryKey::Create(HKEY_CLASSES_ROOT, OLESTR("AppID\\") + appId).SetString(WideString(), OLESTR("Kestrune"));
    RegistryKey::Create(HKEY_CLASSES_ROOT, kAppIdModuleKey).SetString(OLESTR("AppID"), appId);
}

void UnregisterAppId()
{
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, OLESTR("AppID\\") + GuidToString(kAppId));
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, kAppIdModuleKey);
}

void RegisterClass(const ObjectMapEntry& entry, const WideString& modulePath)
{
    const WideString description = WideString(entry.name) + OLESTR(" Class");
    const WideString clsid = GuidToString(*entry.clsid);
    const WideString versioned = VersionedProgId(entry);
    const WideString independent = VersionIndependentProgId(entry);

    RegistryKey versionedKey = RegistryKey::Create(HKEY_CLASSES_ROOT, versioned);
    versionedKey.SetString(WideString(), description);
    versionedKey.CreateChild(OLESTR("CLSID"), clsid);

    RegistryKey independentKey = RegistryKey::Create(HKEY_CLASSES_ROOT, independent);
    independentKey.SetString(WideString(), description);
    independentKey.CreateChild(OLESTR("CLSID"), clsid);
    independentKey.CreateChild(OLESTR("CurVer"), versioned);

    // The class key is force-removed: whatever an earlier registration left there goes first.
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, ClsidKey(entry));
    RegistryKey classKey = RegistryKey::Create(HKEY_CLASSES_ROOT, ClsidKey(entry));
    classKey.SetString(WideString(), description);
    classKey.CreateChild(OLESTR("ProgID"), versioned);
    classKey.CreateChild(OLESTR("VersionIndependentProgID"), independent);
    if (entry.programmable)
        RegistryKey::Create(classKey.Get(), OLESTR("Programmable"));
    classKey.CreateChild(OLESTR("InprocServer32"), modulePath)
        .SetString(OLESTR("ThreadingModel"), entry.threadingModel);
    classKey.SetString(OLESTR("AppID"), GuidToString(kAppId));
    classKey.CreateChild(OLESTR("TypeLib"), GuidToString(LIBID_KestruneLib));
}

void UnregisterClass(const ObjectMapEntry& entry)
{
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, VersionedProgId(entry));
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, VersionIndependentProgId(entry));
    RegistryKey::DeleteTree(HKEY_CLASSES_ROOT, ClsidKey(entry));
}

// The library from the module itself, or from the .tlb beside it; loadedFrom says which.
ComPtr<ITypeLib> LoadOwnTypeLibrary(const WideString& modulePath, WideString& loadedFrom)
{
    ComPtr<ITypeLib> library;
    loadedFrom = modulePath;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Receive());
    if (FAILED(hr)) {
        loadedFrom = TypeLibraryFallbackPath(modulePath);
        hr = ::LoadTypeLibEx(loadedFrom.c_str(), REGKIND_NONE, library.Receive());
    }
    ThrowIfFailed(hr);
    return library;
}

void RegisterTypeLibrary(const WideString& modulePath)
{
    WideString loadedFrom;
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary(modulePath, loadedFrom);
    WideString helpDir = DirectoryOf(modulePath);
    ThrowIfFailed(::RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(loadedFrom.c_str()),
                                    helpDir.empty() ? nullptr : const_cast<OLECHAR*>(helpDir.c_str())));
}

void UnregisterTypeLibrary(const WideString& modulePath)
{
    WideString loadedFrom;
    ComPtr<ITypeLib> library = LoadOwnTypeLibrary(modulePath, loadedFrom);
    TLIBATTR* attributes = nullptr;
    ThrowIfFailed(library->GetLibAttr(&attributes));
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    const HRESULT hr = ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    // A library that is not registered any more is what unregistration wants.
    if (hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED)
        ThrowIfFailed(hr);
}

} // namespace

HRESULT RegisterServer(const WideString& modulePath) noexcept
{
    ThreadLocaleSwitch locale;
    return ComBoundary([&] {
        RegisterAppId();
        for (const ObjectMapEntry& entry : ObjectMap())
            RegisterClass(entry, modulePath);
        RegisterTypeLibrary(modulePath);
    });
}

HRESULT UnregisterServer(const WideString& modulePath) noexcept
{
    ThreadLocaleSwitch locale;
    return ComBoundary([&] {
        for (const ObjectMapEntry& entry : ObjectMap())
            UnregisterClass(entry);
        UnregisterTypeLibrary(modulePath);
        UnregisterAppId();
    });
}

WideString ModuleFileName(HMODULE module)
{
    std::vector<OLECHAR> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return WideString();
        if (length < buffer.size())
            return WideString(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

WideString TypeLibraryFallbackPath(const WideString& path)
{
    const size_t separator = path.find_last_of(OLESTR("\\/"));
    const size_t dot = path.find_last_of(OLECHAR('.'));
    const bool hasExtension = dot != WideString::npos && (separator == WideString::npos || dot > separator);
    return (hasExtension ? path.substr(0, dot) : path) + OLESTR(".tlb");
}

WideString DirectoryOf(const WideString& path)
{
    const size_t separator = path.find_last_of(OLESTR("\\/"));
    return separator == WideString::npos ? WideString() : path.substr(0, separator);
}

} // namespace com
