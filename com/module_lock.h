// The module lock count: every live COM object and every LockServer(TRUE) holds one count;
// DllCanUnloadNow answers S_OK only when it is 0 (and no worker thread runs).
//
//   com::LockModule(); ... com::UnlockModule();      // or hold a com::ModuleLockHolder
#pragma once

#include "platform/win.h"

namespace com {

/// Adds one to the module lock count (interlocked); returns the new count.
LONG LockModule() noexcept;
/// Takes one from the module lock count (interlocked); returns the new count.
LONG UnlockModule() noexcept;
/// The current module lock count.
LONG ModuleLockCount() noexcept;

/// Holds one module lock count for its lifetime.
class ModuleLockHolder {
public:
    ModuleLockHolder() noexcept { LockModule(); }
    ~ModuleLockHolder() { UnlockModule(); }
    ModuleLockHolder(const ModuleLockHolder&) noexcept { LockModule(); }
    ModuleLockHolder& operator=(const ModuleLockHolder&) noexcept { return *this; }
};

} // namespace com
