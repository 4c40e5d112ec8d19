// Thread message queues and thread timers. All queues share one lock. A thread's queue is created
// by its first PeekMessageW / GetMessageW / SetTimer and dropped when the thread ends.
//
// Retrieval order: posted messages (FIFO), then WM_QUIT from PostQuitMessage, then WM_TIMER for a
// due timer. A timer is never "queued": WM_TIMER is produced at retrieval, so at most one is
// pending per timer, and removing it re-arms the timer one period after the delivery.
#include "platform/posix/kernel_objects.h"
#include "platform/posix/messages.h"
#include "platform/posix/virtual_clock.h"

#include <chrono>
#include <deque>
#include <map>
#include <unordered_map>

namespace platform::detail {
namespace {

struct Timer {
    UINT period;
    DWORD due;
    TIMERPROC proc;
};

struct Queue {
    std::condition_variable wake;
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    std::map<UINT_PTR, Timer> timers;
};

struct Queues {
    std::mutex lock;
    std::unordered_map<DWORD, std::shared_ptr<Queue>> byThread;
    UINT_PTR nextTimerId = 1;
};

Queues& All()
{
    static auto* q = new Queues; // outlives threads that end during exit
    return *q;
}

/// Drops the queue of a thread that ends without going through the stand-in's thread start.
struct QueueOwner {
    DWORD threadId = 0;
    ~QueueOwner()
    {
        if (threadId)
            DropThreadQueue();
    }
};
thread_local QueueOwner t_owner;

std::shared_ptr<Queue> OwnQueue(std::unique_lock<std::mutex>&)
{
    DWORD id = GetCurrentThreadId();
    auto& slot = All().byThread[id];
    if (!slot) {
        slot = std::make_shared<Queue>();
        t_owner.threadId = id;
    }
    return slot;
}

bool InRange(UINT message, UINT min, UINT max)
{
    if (min == 0 && max == 0)
        return true;
    if (max == 0)
        max = 0xFFFFFFFF;
    return message >= min && message <= max;
}

LONG Until(DWORD due, DWORD now)
{
    return static_cast<LONG>(due - now);
}

/// Takes (or peeks at) the next message the filter accepts; false when there is none.
bool Retrieve(Queue& q, MSG* msg, UINT min, UINT max, bool remove)
{
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (InRange(it->message, min, max)) {
            *msg = *it;
            if (remove)
                q.posted.erase(it);
            return true;
        }
    }
    DWORD now = GetTickCount();
    if (q.quit && InRange(WM_QUIT, min, max)) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, now, {0, 0}};
        if (remove)
            q.quit = false;
        return true;
    }
    if (!InRange(WM_TIMER, min, max))
        return false;
    auto best = q.timers.end();
    for (auto it = q.timers.begin(); it != q.timers.end(); ++it)
        if (Until(it->second.due, now) <= 0 && (best == q.timers.end() || Until(it->second.due, best->second.due) < 0))
            best = it;
    if (best == q.timers.end())
        return false;
    *msg = MSG{nullptr, WM_TIMER, best->first, reinterpret_cast<LPARAM>(best->second.proc), now, {0, 0}};
    if (remove)
        best->second.due = now + best->second.period;
    return true;
}

/// Blocks until a posted message arrives, the virtual clock moves, or (real time) a timer is due.
void Wait(Queue& q, std::unique_lock<std::mutex>& lock, bool timersCount)
{
    if (platform::IsVirtualClock() || q.timers.empty() || !timersCount) {
        q.wake.wait(lock);
        return;
    }
    DWORD now = GetTickCount();
    LONG soonest = 0x7FFFFFFF;
    for (auto& [id, timer] : q.timers)
        soonest = std::min(soonest, Until(timer.due, now));
    q.wake.wait_for(lock, std::chrono::milliseconds(std::max<LONG>(soonest, 1)));
}

bool HasWindow(HWND hWnd)
{
    if (hWnd) {
        SetLastError(1400); // ERROR_INVALID_WINDOW_HANDLE: there are no windows here
        return true;
    }
    return false;
}

} // namespace

void DropThreadQueue()
{
    std::lock_guard guard(All().lock);
    All().byThread.erase(GetCurrentThreadId());
    t_owner.threadId = 0;
}

void WakeMessageLoops()
{
    std::lock_guard guard(All().lock);
    for (auto& [id, q] : All().byThread)
        q->wake.notify_all();
}

} // namespace platform::detail

using namespace platform::detail;

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard guard(All().lock);
    auto it = All().byThread.find(idThread);
    if (it == All().byThread.end()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    it->second->posted.push_back(MSG{nullptr, Msg, wParam, lParam, GetTickCount(), {0, 0}});
    it->second->wake.notify_all();
    return TRUE;
}

void PostQuitMessage(int nExitCode)
{
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    q->quit = true;
    q->quitCode = nExitCode;
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg || HasWindow(hWnd))
        return -1;
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    while (!Retrieve(*q, lpMsg, wMsgFilterMin, wMsgFilterMax, true))
        Wait(*q, lock, InRange(WM_TIMER, wMsgFilterMin, wMsgFilterMax));
    return lpMsg->message != WM_QUIT;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (!lpMsg || HasWindow(hWnd))
        return FALSE;
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    return Retrieve(*q, lpMsg, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
}

BOOL WaitMessage()
{
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    MSG msg;
    while (!Retrieve(*q, &msg, 0, 0, false))
        Wait(*q, lock, true);
    return TRUE;
}

BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* lpMsg)
{
    if (lpMsg && lpMsg->message == WM_TIMER && lpMsg->lParam)
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(nullptr, WM_TIMER, lpMsg->wParam, GetTickCount());
    return 0;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    if (HasWindow(hWnd))
        return 0;
    if (uElapse < USER_TIMER_MINIMUM)
        uElapse = USER_TIMER_MINIMUM;
    if (uElapse > USER_TIMER_MAXIMUM)
        uElapse = USER_TIMER_MAXIMUM;
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    UINT_PTR id = nIDEvent;
    if (id == 0 || q->timers.find(id) == q->timers.end()) {
        // a new timer, numbered from one process-wide counter
        do {
            id = All().nextTimerId++;
            if (All().nextTimerId > 0x7FFF)
                All().nextTimerId = 1;
        } while (q->timers.count(id));
    }
    q->timers[id] = Timer{uElapse, GetTickCount() + uElapse, lpTimerFunc};
    q->wake.notify_all();
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    if (HasWindow(hWnd))
        return FALSE;
    std::unique_lock lock(All().lock);
    auto q = OwnQueue(lock);
    // thread timers belong to the thread that set them
    return q->timers.erase(uIDEvent) ? TRUE : FALSE;
}
