// CWorkerThread: the on-demand worker thread of the upload manager and of the progress timer.
// Both workers are the same thread: started by the first piece of work, with a
// message queue and the multithreaded COM apartment, woken by thread messages and thread timers,
// and ended by a quit message or once their owner has been idle long enough. This class is that
// thread: its start-up, its message loop and its end. The owner (its IJob) adds what it does on
// start-up and on each wake, and decides when it is idle.
//
//   CWorkerThread worker_{lock_, *this};   // member of the owner
//   if (!worker_.Start()) throw EOwner();   // owner's lock held
//   worker_.PostChanged();
//
// Init runs at process attach; Start, PostChanged and Term are called with the owner's lock held;
// IsRunning and Stop take it themselves. The worker takes that lock for each wake and calls the
// owner under it. When the worker leaves, it stops being recorded (under the lock), but IsRunning
// stays true until its thread has really ended, so the module is not unloaded under a thread that
// is still returning. Term runs at FreeLibrary, under the loader lock, and never waits; Stop
// waits on the workers' thread handles and is only for callers outside the loader lock.
//
// A worker also holds a reference to the module that contains its code, taken by Start and given
// back as the thread ends (FreeLibraryAndExitThread, after CoUninitialize): a host that frees the
// DLL while a worker runs, without asking DllCanUnloadNow, leaves it mapped until the worker is
// gone, instead of leaving the thread to run in unmapped code.
#pragma once

#include "com/critical_section.h"
#include "platform/win.h"

#include <atomic>
#include <vector>

class CWorkerThread {
public:
    /// Base of the owners' "leave the loop" exceptions (CUploadManager::EUploadManagerInt,
    /// CProgressTimer::EProgressTimerInt): thrown by IJob::WorkerWake, it ends the worker normally.
    class ELeaveLoop {};

    /// The state of one worker's run. It lives on the worker's own stack, so a worker that is
    /// still returning never shares it with the next one.
    struct TRun {
        UINT_PTR timer = 0;     ///< the worker's thread timer, 0 when none; killed when the worker ends
        bool idle = false;      ///< the idle period has begun
        DWORD idleDeadline = 0; ///< the tick at which the idle period ends
    };

    /// What the owner does on its worker.
    class IJob {
    public:
        /// Last step of the start-up, on the worker, before the starter is released; the owner's
        /// lock is not held (the starter holds it). An exception fails the start.
        virtual void WorkerStarting(TRun& run) = 0;
        /// One wake: the timer fired and/or the owner posted its changed message (at least one of
        /// the two). The owner's lock is held. An ELeaveLoop ends the worker normally; any other
        /// exception ends it with exit code 1.
        virtual void WorkerWake(TRun& run, bool timerFired, bool changed) = 0;

    protected:
        ~IJob() = default;
    };

    /// The worker's private thread messages: its owner's state changed (a wake for IJob::WorkerWake),
    /// and leave the loop (Stop).
    static constexpr UINT ChangedMessage = WM_USER + 1;
    static constexpr UINT QuitMessage = WM_USER + 2;

    /// lock: the owner's lock.
    CWorkerThread(com::CriticalSection& lock, IJob& job) noexcept : lock_(lock), job_(job) {}
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    /// Clears the fields and creates the ready event (manual reset, not signalled); E_FAIL when
    /// the event cannot be created.
    HRESULT Init() noexcept;
    /// Closes the event and every handle; never waits for a thread (it may run at loader time).
    void Term() noexcept;

    /// True while a worker is recorded or a forgotten one has not ended yet. Takes the owner's lock.
    bool IsRunning() noexcept;

    /// Starts a worker unless one is recorded, and waits until it is ready. False when the thread
    /// could not be created or failed while starting; nothing is recorded then.
    bool Start();
    /// Posts the changed message to the worker; the result is ignored (with no worker the post
    /// fails, which is fine: a new worker looks at its owner's state anyway).
    void PostChanged() const noexcept;

    /// Asks the worker to quit and waits on its thread handle until it has ended, and on the handle
    /// of every forgotten worker that is still returning. Owner's lock not held; not for use at
    /// loader time.
    void Stop() noexcept;

private:
    static unsigned __stdcall ThreadProc(void* self);
    unsigned Main() noexcept;
    void Loop(TRun& run);
    void ReportStartup(bool ok) noexcept;
    void Forget() noexcept;
    void PruneEnded() noexcept;

    com::CriticalSection& lock_;
    IJob& job_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HMODULE startingModule_ = nullptr; // the reference Start took for the worker it starts
    HANDLE readyEvent_ = nullptr;
    std::atomic<bool> startupOk_{false};
    std::vector<HANDLE> ended_; // forgotten workers whose threads may still be returning
    // Stop calls waiting, without the lock, on a handle of thread_ or ended_: while there is one,
    // PruneEnded closes no handle.
    unsigned stopsWaiting_ = 0;
};
