// CWorkerThread: the bookkeeping of one on-demand worker thread (handle, thread id, ready event)
// shared by the upload manager and the progress timer.
//
// The owner calls every member except ReportStartup with its own lock held:
//
//   if (!worker_.Start(&CUploadManager::ThreadProc, this)) throw EUploadManager();
//   PostThreadMessageW(worker_.ThreadId(), ...);
//
// The worker thread sets itself up (message queue, COM apartment, timers) without touching the
// owner's lock, then calls ReportStartup(true) -- or ReportStartup(false) and returns. Start
// waits for that report, so a worker that fails while starting never leaves the starter hanging
// nor stays recorded as running. When the worker leaves its loop it calls Forget (owner's lock
// held). IsRunning stays true until a forgotten worker has really ended, so the module is not
// unloaded under a thread that is still returning.
#pragma once

#include "platform/win.h"

#include <atomic>
#include <vector>

class CWorkerThread {
public:
    using Procedure = unsigned(__stdcall*)(void*);

    CWorkerThread() noexcept = default;
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    /// Clears the fields and creates the ready event (manual reset, not signalled).
    bool Init() noexcept;
    /// Closes the event and every handle; never waits for a thread (it may run at loader time).
    void Term() noexcept;

    /// True while a worker is recorded or a forgotten one has not ended yet.
    bool IsRunning() noexcept;
    /// The recorded worker's thread id, 0 when none.
    DWORD ThreadId() const noexcept { return threadId_; }

    /// Starts a worker unless one is recorded, and waits for its startup report. False when the
    /// thread could not be created or failed while starting; nothing is recorded then.
    bool Start(Procedure procedure, void* argument);

    /// Called by the worker once its setup succeeded or failed; wakes the starter.
    void ReportStartup(bool ok) noexcept;

    /// Called by the worker as it leaves: no worker is recorded any more, the event is reset.
    void Forget() noexcept;

private:
    void PruneEnded() noexcept;

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE readyEvent_ = nullptr;
    std::atomic<bool> startupOk_{false};
    std::vector<HANDLE> ended_;  // forgotten workers whose threads may still be returning
};
