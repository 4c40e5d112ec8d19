// Thread message queues and thread timers of the POSIX stand-in (no windows: hWnd is always
// null). A thread gets a queue when it first calls PeekMessageW or GetMessageW.
#pragma once

#include "platform/posix/types.h"

#ifndef _WIN32

#define WM_NULL 0x0000
#define WM_QUIT 0x0012
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

EXTERN_C BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
EXTERN_C void PostQuitMessage(int nExitCode);
/// Blocks until a message is available; 0 for WM_QUIT, -1 on failure, else nonzero.
EXTERN_C BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
EXTERN_C BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
/// Returns when a message is queued or one of the thread's timers is due.
EXTERN_C BOOL WaitMessage();
EXTERN_C BOOL TranslateMessage(const MSG* lpMsg);
EXTERN_C LRESULT DispatchMessageW(const MSG* lpMsg);
EXTERN_C UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
EXTERN_C BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

#define PostThreadMessage PostThreadMessageW
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW

#endif // !_WIN32
