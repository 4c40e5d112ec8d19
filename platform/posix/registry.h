// The registry of the POSIX stand-in: there is none. Opening, querying and deleting answer
// ERROR_FILE_NOT_FOUND as for a missing key; creating and writing answer ERROR_ACCESS_DENIED.
#pragma once

#include "platform/posix/types.h"

#ifndef _WIN32

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

EXTERN_C LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                 REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                 LPDWORD lpdwDisposition);
EXTERN_C LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
EXTERN_C LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                DWORD cbData);
EXTERN_C LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                  LPDWORD lpcbData);
EXTERN_C LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
EXTERN_C LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
EXTERN_C LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
EXTERN_C LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                               LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
EXTERN_C LSTATUS RegCloseKey(HKEY hKey);

#define RegCreateKeyEx RegCreateKeyExW
#define RegOpenKeyEx RegOpenKeyExW
#define RegSetValueEx RegSetValueExW
#define RegQueryValueEx RegQueryValueExW
#define RegDeleteValue RegDeleteValueW
#define RegDeleteKey RegDeleteKeyW
#define RegDeleteTree RegDeleteTreeW
#define RegEnumKeyEx RegEnumKeyExW

#endif // !_WIN32
