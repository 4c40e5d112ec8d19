// Kernel services of the POSIX stand-in: last error, handles, critical sections, events,
// interlocked counters, threads, tick count, locales and the module file name.
#pragma once

#include "platform/posix/types.h"

#ifndef _WIN32

#include <pthread.h>

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE 259L
#define CREATE_SUSPENDED 0x00000004
#define MAXIMUM_WAIT_OBJECTS 64

EXTERN_C DWORD GetLastError();
EXTERN_C void SetLastError(DWORD dwErrCode);

/// Closes any handle of the stand-in (event, thread, file); fails with ERROR_INVALID_HANDLE otherwise.
EXTERN_C BOOL CloseHandle(HANDLE hObject);

// Critical sections are recursive, as on Windows.
typedef struct _CRITICAL_SECTION {
    pthread_mutex_t mutex;
    LONG initialized;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

EXTERN_C void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
EXTERN_C BOOL InitializeCriticalSectionEx(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount, DWORD flags);
EXTERN_C void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
EXTERN_C void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Events and waits (waits use real time, not the virtual clock).
EXTERN_C HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                             LPCWSTR lpName);
EXTERN_C BOOL SetEvent(HANDLE hEvent);
EXTERN_C BOOL ResetEvent(HANDLE hEvent);
EXTERN_C DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
EXTERN_C DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds);
#define CreateEvent CreateEventW

// Interlocked operations: full barriers, as on Windows.
EXTERN_C LONG InterlockedIncrement(LONG volatile* Addend);
EXTERN_C LONG InterlockedDecrement(LONG volatile* Addend);
EXTERN_C LONG InterlockedExchange(LONG volatile* Target, LONG Value);
EXTERN_C LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value);
EXTERN_C LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand);

// Threads. Thread ids are small unique numbers assigned by the stand-in (multiples of 4).
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
EXTERN_C uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned(__stdcall* start_address)(void*),
                                  void* arglist, unsigned initflag, unsigned* thrdaddr);
EXTERN_C HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                             LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                             LPDWORD lpThreadId);
EXTERN_C DWORD ResumeThread(HANDLE hThread);
EXTERN_C BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
EXTERN_C DWORD GetCurrentThreadId();
EXTERN_C DWORD GetThreadId(HANDLE Thread);
EXTERN_C DWORD GetCurrentProcessId();
EXTERN_C void Sleep(DWORD dwMilliseconds);

/// Milliseconds since an arbitrary start, wrapping at 2^32; the virtual clock when tests use it.
EXTERN_C DWORD GetTickCount();
EXTERN_C ULONGLONG GetTickCount64();

// Locales: only the values are kept; nothing here depends on them.
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define SORT_DEFAULT 0x0
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT)
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#define LOCALE_SYSTEM_DEFAULT MAKELCID(LANG_SYSTEM_DEFAULT, SORT_DEFAULT)
#define LOCALE_USER_DEFAULT MAKELCID(LANG_USER_DEFAULT, SORT_DEFAULT)
#define LOCALE_NEUTRAL MAKELCID(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), SORT_DEFAULT)
#define LOCALE_INVARIANT 0x007f
EXTERN_C LCID GetThreadLocale();
EXTERN_C BOOL SetThreadLocale(LCID Locale);
EXTERN_C LCID GetUserDefaultLCID();
EXTERN_C LCID GetSystemDefaultLCID();

// Modules: the running executable stands for every module. GetModuleHandleExW takes a reference
// on it and FreeLibrary gives one back (platform::ModuleReferencesTaken counts them); nothing is
// ever unloaded. FreeLibraryAndExitThread ends a thread started by _beginthreadex or CreateThread
// with the given exit code.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
EXTERN_C DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
EXTERN_C HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
EXTERN_C BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);
EXTERN_C BOOL FreeLibrary(HMODULE hLibModule);
EXTERN_C [[noreturn]] void FreeLibraryAndExitThread(HMODULE hLibModule, DWORD dwExitCode);
EXTERN_C BOOL DisableThreadLibraryCalls(HMODULE hLibModule);
#define GetModuleFileName GetModuleFileNameW
#define GetModuleHandle GetModuleHandleW

namespace platform {
/// Test hook: the module references taken by GetModuleHandleExW and not yet given back.
long ModuleReferencesTaken() noexcept;
} // namespace platform

#endif // !_WIN32
