#include "com/module_lock.h"

namespace com {

namespace {
volatile LONG g_moduleLockCount = 0;
}

LONG LockModule() noexcept
{
    return ::InterlockedIncrement(&g_moduleLockCount);
}

LONG UnlockModule() noexcept
{
    return ::InterlockedDecrement(&g_moduleLockCount);
}

LONG ModuleLockCount() noexcept
{
    return ::InterlockedCompareExchange(&g_moduleLockCount, 0, 0);
}

} // namespace com
