// Last error, the handle table, critical sections, events, waits and interlocked operations.
#include "platform/posix/kernel_objects.h"

#include <cerrno>
#include <chrono>
#include <unordered_map>
#include <vector>

namespace platform::detail {
namespace {

thread_local DWORD t_lastError = 0;

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

HandleTable& Handles()
{
    static auto* table = new HandleTable; // never destroyed: handles may be closed during exit
    return *table;
}

struct Event : Waitable {};

} // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object)
{
    HANDLE h = object.get();
    HandleTable& t = Handles();
    std::lock_guard guard(t.lock);
    t.objects[h] = std::move(object);
    return h;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle)
{
    HandleTable& t = Handles();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(handle);
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> doomed; // destroyed outside the lock
    HandleTable& t = Handles();
    std::lock_guard guard(t.lock);
    auto it = t.objects.find(handle);
    if (it == t.objects.end())
        return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::mutex& WaitLock()
{
    static auto* m = new std::mutex;
    return *m;
}

std::condition_variable& WaitChanged()
{
    static auto* cv = new std::condition_variable;
    return *cv;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY: return ERROR_BUSY;
    case EIO: return ERROR_GEN_FAILURE;
    default: return ERROR_GEN_FAILURE;
    }
}

} // namespace platform::detail

using namespace platform::detail;

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}

BOOL CloseHandle(HANDLE hObject)
{
    if (!RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// ---- critical sections ----

void InitializeCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&cs->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    cs->initialized = 1;
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD)
{
    InitializeCriticalSection(cs);
    return TRUE;
}

BOOL InitializeCriticalSectionEx(LPCRITICAL_SECTION cs, DWORD, DWORD)
{
    InitializeCriticalSection(cs);
    return TRUE;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_lock(&cs->mutex);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs)
{
    return pthread_mutex_trylock(&cs->mutex) == 0;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_unlock(&cs->mutex);
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    if (cs->initialized) {
        pthread_mutex_destroy(&cs->mutex);
        cs->initialized = 0;
    }
}

// ---- events and waits ----

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName)
{
    if (lpName) { // named events would be shared between processes: not supported
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto e = std::make_shared<Event>();
    e->manualReset = bManualReset != FALSE;
    e->signaled = bInitialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return AddHandle(std::move(e));
}

static BOOL SetEventState(HANDLE hEvent, bool state)
{
    auto e = std::dynamic_pointer_cast<Event>(FindHandle(hEvent));
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard guard(WaitLock());
        e->signaled = state;
    }
    if (state)
        WaitChanged().notify_all();
    return TRUE;
}

BOOL SetEvent(HANDLE hEvent)
{
    return SetEventState(hEvent, true);
}

BOOL ResetEvent(HANDLE hEvent)
{
    return SetEventState(hEvent, false);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto w = std::dynamic_pointer_cast<Waitable>(FindHandle(lpHandles[i]));
        if (!w) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(w));
    }
    auto tryAcquire = [&](DWORD& result) {
        if (bWaitAll) {
            for (auto& w : objects)
                if (!w->signaled)
                    return false;
            for (auto& w : objects)
                if (!w->manualReset)
                    w->signaled = false;
            result = WAIT_OBJECT_0;
            return true;
        }
        for (DWORD i = 0; i < nCount; ++i) {
            if (objects[i]->signaled) {
                if (!objects[i]->manualReset)
                    objects[i]->signaled = false;
                result = WAIT_OBJECT_0 + i;
                return true;
            }
        }
        return false;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    std::unique_lock lock(WaitLock());
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
        if (tryAcquire(result))
            return result;
        if (dwMilliseconds == INFINITE)
            WaitChanged().wait(lock);
        else if (WaitChanged().wait_until(lock, deadline) == std::cv_status::timeout)
            return tryAcquire(result) ? result : WAIT_TIMEOUT;
    }
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

// ---- interlocked ----

LONG InterlockedIncrement(LONG volatile* Addend)
{
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile* Addend)
{
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(LONG volatile* Target, LONG Value)
{
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value)
{
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand)
{
    __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comparand;
}
