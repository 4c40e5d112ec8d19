// Code-page conversion and lower-casing of the POSIX stand-in (table-driven; the supported code
// pages are listed in platform/README.md).
#pragma once

#include "platform/posix/types.h"

#ifndef _WIN32

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_COMPOSITECHECK 0x00000200
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

EXTERN_C int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                 LPWSTR lpWideCharStr, int cchWideChar);
EXTERN_C int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                 LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar);
EXTERN_C BOOL IsValidCodePage(UINT CodePage);
EXTERN_C UINT GetACP();
/// Lower-cases a string in place, or one character when the pointer's high bits are zero.
EXTERN_C LPWSTR CharLowerW(LPWSTR lpsz);
EXTERN_C LPWSTR CharUpperW(LPWSTR lpsz);
EXTERN_C DWORD CharLowerBuffW(LPWSTR lpsz, DWORD cchLength);
#define CharLower CharLowerW
#define CharUpper CharUpperW

#endif // !_WIN32
