// Threads: _beginthreadex / CreateThread over std::thread, with Windows-style thread ids assigned
// by the stand-in, exit codes, suspension at creation, and a handle that is signalled at exit.
#include "platform/posix/kernel_objects.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace platform::detail {
namespace {

std::atomic<DWORD> g_nextThreadId{0x100};
thread_local DWORD t_threadId = 0;

// Thrown by ExitCurrentThread, caught at the start of the thread.
struct ThreadExit {
    DWORD code;
};

DWORD NewThreadId()
{
    return g_nextThreadId.fetch_add(4);
}

struct Thread : Waitable {
    DWORD id = 0;
    DWORD exitCode = STILL_ACTIVE;
    bool suspended = false;
};

HANDLE Start(unsigned (*routine)(void*), void* arg, bool suspended, DWORD* idOut)
{
    auto thread = std::make_shared<Thread>();
    thread->id = NewThreadId();
    thread->suspended = suspended;
    try {
        std::thread([thread, routine, arg] {
            t_threadId = thread->id;
            {
                std::unique_lock lock(WaitLock());
                WaitChanged().wait(lock, [&] { return !thread->suspended; });
            }
            DWORD code;
            try {
                code = routine(arg);
            } catch (const ThreadExit& exit) {
                code = exit.code;
            }
            DropThreadQueue();
            {
                std::lock_guard guard(WaitLock());
                thread->exitCode = code;
                thread->signaled = true;
            }
            WaitChanged().notify_all();
        }).detach();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (idOut)
        *idOut = thread->id;
    return AddHandle(std::move(thread));
}

} // namespace

void ExitCurrentThread(DWORD exitCode)
{
    throw ThreadExit{exitCode};
}

} // namespace platform::detail

using namespace platform::detail;

uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* start_address)(void*), void* arglist, unsigned initflag,
                         unsigned* thrdaddr)
{
    if (!start_address) {
        errno = EINVAL;
        return 0;
    }
    DWORD id = 0;
    HANDLE h = Start(start_address, arglist, (initflag & CREATE_SUSPENDED) != 0, &id);
    if (thrdaddr)
        *thrdaddr = id;
    return reinterpret_cast<uintptr_t>(h);
}

namespace {
struct ThreadStartThunk {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};
unsigned RunThreadStart(void* p)
{
    ThreadStartThunk thunk = *static_cast<ThreadStartThunk*>(p);
    delete static_cast<ThreadStartThunk*>(p);
    return thunk.routine(thunk.parameter);
}
} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* thunk = new ThreadStartThunk{lpStartAddress, lpParameter};
    HANDLE h = Start(RunThreadStart, thunk, (dwCreationFlags & CREATE_SUSPENDED) != 0, lpThreadId);
    if (!h)
        delete thunk;
    return h;
}

DWORD ResumeThread(HANDLE hThread)
{
    auto t = std::dynamic_pointer_cast<Thread>(FindHandle(hThread));
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    DWORD previous;
    {
        std::lock_guard guard(WaitLock());
        previous = t->suspended ? 1 : 0;
        t->suspended = false;
    }
    WaitChanged().notify_all();
    return previous;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    auto t = std::dynamic_pointer_cast<Thread>(FindHandle(hThread));
    if (!t || !lpExitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard guard(WaitLock());
    *lpExitCode = t->exitCode;
    return TRUE;
}

DWORD GetThreadId(HANDLE hThread)
{
    auto t = std::dynamic_pointer_cast<Thread>(FindHandle(hThread));
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return t->id;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = NewThreadId();
    return t_threadId;
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

void Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
