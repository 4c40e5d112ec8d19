// There is no registry on POSIX: reads and deletions find nothing, writes are refused.
#include "platform/posix/registry.h"

namespace {

bool IsPredefined(HKEY key)
{
    auto v = reinterpret_cast<ULONG_PTR>(key);
    return v >= 0x80000000u && v <= 0x80000006u;
}

} // namespace

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                        LPDWORD)
{
    if (phkResult)
        *phkResult = nullptr;
    return IsPredefined(hKey) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR, DWORD, REGSAM, PHKEY phkResult)
{
    if (phkResult)
        *phkResult = nullptr;
    return IsPredefined(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return IsPredefined(hKey) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)
{
    return IsPredefined(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR)
{
    return IsPredefined(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR)
{
    return IsPredefined(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR)
{
    return IsPredefined(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME)
{
    return IsPredefined(hKey) ? ERROR_NO_MORE_ITEMS : ERROR_INVALID_HANDLE;
}

LSTATUS RegCloseKey(HKEY hKey)
{
    return IsPredefined(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
