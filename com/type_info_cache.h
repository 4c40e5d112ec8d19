// Process-wide cache of the type information of the library's interfaces, loaded from the
// registered type library (LoadRegTypeLib(LIBID_KestruneLib, 1, 0, 0x409), the library's locale). Thread-safe; a failed
// load is not cached, so a later call tries again.
//
//   com::ComPtr<ITypeInfo> info;
//   HRESULT hr = com::GetCachedTypeInfo(IID_IUpload, info.Receive());
#pragma once

#include "platform/win.h"

namespace com {

/// AddRef'd type information of interface iid; the failure of LoadRegTypeLib or
/// GetTypeInfoOfGuid otherwise (TYPE_E_LIBNOTREGISTERED where no library is registered).
HRESULT GetCachedTypeInfo(REFIID iid, ITypeInfo** info) noexcept;

/// Releases every cached reference. A COM call: not for the loader lock.
void ReleaseCachedTypeInfo() noexcept;

/// FreeLibrary, under the loader lock: forgets the cached references without releasing them and
/// ends the cache. Normally empty by then, since DllCanUnloadNow released it before saying yes.
void UnloadTypeInfoCache() noexcept;

} // namespace com
