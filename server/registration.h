// Self-registration of the module: what DllRegisterServer and DllUnregisterServer write and
// remove (the AppID keys, both ProgIDs and the CLSID tree of every class in object-map order, the
// type library), by direct registry calls, under the system default thread locale.
#pragma once

#include "platform/win.h"

namespace com {

/// Registers the module whose file is modulePath; the first failure's HRESULT, later steps skipped.
HRESULT RegisterServer(const WideString& modulePath) noexcept;

/// Removes every class's keys (never HKCR\CLSID itself), the type library, then the AppID keys
/// (never HKCR\AppID itself). Keys already missing are not an error.
HRESULT UnregisterServer(const WideString& modulePath) noexcept;

/// The module's full file name (GetModuleFileNameW); empty when it cannot be read.
WideString ModuleFileName(HMODULE module);

/// path with its extension replaced by ".tlb" (appended when it has none).
WideString TypeLibraryFallbackPath(const WideString& path);

/// The folder part of path, without the trailing separator.
WideString DirectoryOf(const WideString& path);

} // namespace com
