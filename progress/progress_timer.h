// CProgressTimer: the heartbeat of every running upload. Every 500 ms its worker thread calls
// ITimerSubscriber::Run on each subscribed statistics object, which records one throughput
// sample. Subscribers are kept as Global Interface Table registrations, keyed by upload ID
// (exact, case-sensitive). The worker starts with the first Subscribe and ends 60 seconds after
// the last subscriber left. The one instance belongs to the module (Init at process attach,
// Term at process detach).
//
// Lock order: this timer's lock, then a statistics object's lock (Run is called with it held).
#pragma once

#include "com/critical_section.h"
#include "platform/win.h"
#include "progress/git_registration.h"
#include "progress/worker_thread.h"

#include "kestrune_idl.h"

#include <unordered_map>

class CProgressTimer : private CWorkerThread::IJob {
public:
    class EProgressTimer {};
    /// Leaves the worker's loop (idle time-out).
    class EProgressTimerInt : public CWorkerThread::ELeaveLoop {};

    static constexpr DWORD TickMs = 500;
    static constexpr DWORD IdleLifeMs = 60000;
    // The worker's private thread messages.
    static constexpr UINT QuitMessage = CWorkerThread::QuitMessage;
    static constexpr UINT SubscribersChangedMessage = CWorkerThread::ChangedMessage;

    /// Prepares the timer at process attach; E_FAIL when the ready event cannot be created.
    HRESULT Init() noexcept { return worker_.Init(); }
    /// Drops every subscriber at module unload; never waits for the worker. Without mayCallCom the
    /// registrations are abandoned, not revoked from the Global Interface Table.
    void Term(bool mayCallCom) noexcept;
    /// True while a worker thread exists.
    bool IsRunning() noexcept { return worker_.IsRunning(); }

    /// Subscribes subscriber under id and makes sure the worker runs. Throws EProgressTimer for an
    /// empty ID, a null pointer, an ID already subscribed, or a worker that cannot be started.
    void Subscribe(const WideString& id, ITimerSubscriber*& subscriber);
    /// Ends the subscription of id; once it returns, the subscriber is never called again.
    /// Throws EProgressTimer for an empty ID, or an unknown one when mustExist.
    void Unsubscribe(const WideString& id, bool mustExist);

    /// Asks the worker to quit and waits until it has ended. Not for use at loader time.
    void StopWorker() noexcept { worker_.Stop(); }

private:
    // The worker (CWorkerThread::IJob): it calls the subscribers on every tick.
    void WorkerStarting(CWorkerThread::TRun& run) override;
    void WorkerWake(CWorkerThread::TRun& run, bool timerFired, bool changed) override;
    void CallSubscribers() noexcept;

    com::CriticalSection lock_;
    std::unordered_map<WideString, CGitRegistration> subscribers_;
    CWorkerThread worker_{lock_, *this};
};
