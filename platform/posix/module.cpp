// Thread locales (kept, never interpreted) and the module file name (the running executable).
#include "platform/posix/codepages.h"
#include "platform/posix/kernel.h"

#include "platform/posix/kernel_objects.h"

#include <atomic>
#include <climits>
#include <string>
#include <unistd.h>

namespace {
thread_local LCID t_locale = 0x0409;
}

LCID GetThreadLocale()
{
    return t_locale;
}

BOOL SetThreadLocale(LCID Locale)
{
    t_locale = Locale;
    return TRUE;
}

LCID GetUserDefaultLCID()
{
    return 0x0409;
}

LCID GetSystemDefaultLCID()
{
    return 0x0409;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR lpFilename, DWORD nSize)
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    int wide = MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(n), nullptr, 0);
    std::u16string text(static_cast<size_t>(wide), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(n), text.data(), wide);
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (text.size() >= nSize) { // truncated and terminated, as on Windows
        text.resize(nSize - 1);
        text.copy(lpFilename, text.size());
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    text.copy(lpFilename, text.size());
    lpFilename[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

namespace {
std::atomic<long> g_moduleReferences{0};
}

HMODULE GetModuleHandleW(LPCWSTR)
{
    static int self;
    return reinterpret_cast<HMODULE>(&self);
}

BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
{
    if (!phModule) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = nullptr;
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) && lpModuleName) {
        SetLastError(ERROR_MOD_NOT_FOUND); // only the running program is known, by address or as null
        return FALSE;
    }
    if (!(dwFlags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN)))
        g_moduleReferences.fetch_add(1);
    *phModule = GetModuleHandleW(nullptr);
    return TRUE;
}

BOOL FreeLibrary(HMODULE hLibModule)
{
    if (hLibModule != GetModuleHandleW(nullptr)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    g_moduleReferences.fetch_sub(1);
    return TRUE;
}

void FreeLibraryAndExitThread(HMODULE hLibModule, DWORD dwExitCode)
{
    FreeLibrary(hLibModule);
    platform::detail::ExitCurrentThread(dwExitCode);
}

long platform::ModuleReferencesTaken() noexcept
{
    return g_moduleReferences.load();
}

BOOL DisableThreadLibraryCalls(HMODULE)
{
    return TRUE;
}
