// CUploadManager: the process-wide registry of running and recently ended uploads, keyed by
// upload ID (exact, case-sensitive). Statistics objects are kept as Global Interface Table
// registrations, so every Find hands back a pointer valid on the caller's thread.
//
// An entry lives from Register until RetentionMinutes after Unregister; a worker thread, started on
// demand and ending 60 seconds after its last expiry, carries out the delayed removals.
// The one instance belongs to the module (Init at process attach, Term at process detach).
//
// The registry is bounded, since every page of the site shares the process: at most MaxEntries
// entries, IDs of at most MaxIdLength characters. When it is full, the ended upload that expires
// first makes room for a new one; when every entry is a running upload, Register refuses. Every
// operation costs O(1) on average: an entry knows its place in the expiry list.
//
// Lock order: an object's lock, then this manager's lock, then a statistics object's lock.
#pragma once

#include "com/com_ptr.h"
#include "com/critical_section.h"
#include "platform/win.h"
#include "progress/git_registration.h"
#include "progress/worker_thread.h"

#include "kestrune_idl.h"

#include <cstddef>
#include <list>
#include <unordered_map>
#include <utility>

class CUploadManager : private CWorkerThread::IJob {
public:
    class EUploadManager {};
    /// An upload ID longer than MaxIdLength; Save answers it with E_INVALIDARG.
    class EIdTooLong : public EUploadManager {};
    /// Leaves the worker's loop (idle time-out).
    class EUploadManagerInt : public CWorkerThread::ELeaveLoop {};

    static constexpr DWORD RetentionMinutes = 10;                  // an ended upload stays findable this long
    static constexpr DWORD RetentionMs = RetentionMinutes * 60000; // the same in milliseconds
    static constexpr std::size_t MaxEntries = 10000;               // running and ended uploads together
    static constexpr std::size_t MaxIdLength = 1024;               // characters of an upload ID
    static constexpr DWORD IdleLifeMs = 60000;                     // the worker ends after this long without work
    static constexpr DWORD MinRearmMs = 500;                       // shortest delay of the worker's timer
    // The worker's private thread messages.
    static constexpr UINT ScheduleChangedMessage = CWorkerThread::ChangedMessage;
    static constexpr UINT QuitMessage = CWorkerThread::QuitMessage;

    /// Prepares the manager at process attach; E_FAIL when the ready event cannot be created.
    HRESULT Init() noexcept { return worker_.Init(); }
    /// Drops every entry at module unload. Never waits for the worker (the loader lock may be
    /// held); DllCanUnloadNow keeps the module loaded while one runs. Without mayCallCom the
    /// registrations are abandoned, not revoked from the Global Interface Table.
    void Term(bool mayCallCom) noexcept;
    /// True while a worker thread exists.
    bool IsRunning() noexcept { return worker_.IsRunning(); }

    /// Registers metadata under id; an empty id is replaced by a new GUID string first. When the
    /// registry is full, the ended upload that expires first is forgotten to make room. Throws
    /// EIdTooLong for an ID longer than MaxIdLength, and EUploadManager for a null pointer, a taken
    /// ID, a registry full of running uploads or a failing statistics object.
    void Register(WideString& id, IUploadMetadata*& metadata);
    /// The statistics registered under id, or null.
    com::ComPtr<IUploadMetadata> Find(const WideString& id);
    /// Whether id is registered (running or within its retention).
    bool Contains(const WideString& id);
    /// Forgets id at once (undoes a registration whose subscription failed).
    void Remove(const WideString& id);
    /// Schedules id to be forgotten RetentionMs from now; a second call changes nothing.
    void Unregister(const WideString& id);

    /// Asks the worker to quit and waits until it has ended. Not for use at loader time.
    void StopWorker() noexcept { worker_.Stop(); }

private:
    // The worker (CWorkerThread::IJob): it carries out the delayed removals.
    void WorkerStarting(CWorkerThread::TRun& run) override;
    void WorkerWake(CWorkerThread::TRun& run, bool timerFired, bool changed) override;

    using TExpiryList = std::list<std::pair<DWORD, WideString>>; // (expiry tick, ID), oldest first
    struct TEntry {
        CGitRegistration registration;
        bool scheduled = false;
        TExpiryList::iterator expiry; // its place in expiryList_ once scheduled
    };

    // Forgets the entry at the front of the expiry list. Revoking its registration may destroy the
    // statistics object here.
    void ForgetOldestEnded() noexcept;

    com::CriticalSection lock_;
    std::unordered_map<WideString, TEntry> registry_;
    TExpiryList expiryList_;
    CWorkerThread worker_{lock_, *this};
};
