#include "progress/upload_manager.h"

#include "com/bstr.h"
#include "com/failure_reason.h"
#include "com/guid.h"

#include <iterator>
#include <utility>

void CUploadManager::Term(bool mayCallCom) noexcept
{
    com::CriticalSectionLock hold(lock_);
    expiryList_.clear();
    ClearRegistrations(registry_, mayCallCom, [](TEntry& entry) -> CGitRegistration& { return entry.registration; });
    worker_.Term();
}

void CUploadManager::Register(WideString& id, IUploadMetadata*& metadata)
{
    if (id.size() > MaxIdLength) {
        com::ReportFailure("Save: the upload ID is ", id.size(), " characters long; at most ", MaxIdLength,
                           " are allowed");
        throw EIdTooLong();
    }
    if (!metadata)
        throw EUploadManager();
    com::CriticalSectionLock hold(lock_);
    if (!id.empty() && registry_.contains(id)) {
        com::ReportFailure("Save: the upload ID ", com::Quoted(id),
                           " is already registered (an upload under it runs, or ended less than ", RetentionMinutes,
                           " minutes ago)");
        throw EUploadManager();
    }
    while (registry_.size() >= MaxEntries && !expiryList_.empty())
        ForgetOldestEnded();
    if (registry_.size() >= MaxEntries) {
        com::ReportFailure("Save: the upload registry is full: ", registry_.size(),
                           " uploads are running in this process");
        throw EUploadManager();
    }

    // The caller's string is rewritten only once the registration has succeeded.
    WideString key = id;
    while (key.empty() || (id.empty() && registry_.contains(key)))
        key = com::NewGuidString();

    com::ComPtr<IUploadStatisticsControl> control;
    if (FAILED(com::QueryInterfaceTo(metadata, IID_IUploadStatisticsControl, control)) || !control)
        throw EUploadManager();
    {
        com::Bstr idText(key);
        if (FAILED(control->put_ID(idText.Get())))
            throw EUploadManager();
    }
    TEntry entry;
    entry.registration = CGitRegistration::Register(metadata, IID_IUploadMetadata);
    WideString written = key;
    registry_.emplace(std::move(key), std::move(entry));
    id.swap(written);
}

com::ComPtr<IUploadMetadata> CUploadManager::Find(const WideString& id)
{
    com::ComPtr<IUploadMetadata> result;
    com::CriticalSectionLock hold(lock_);
    const auto entry = registry_.find(id);
    if (entry != registry_.end()) {
        if (FAILED(entry->second.registration.Get(IID_IUploadMetadata, result.ReceiveVoid())) || !result)
            throw EUploadManager();
    }
    return result;
}

bool CUploadManager::Contains(const WideString& id)
{
    com::CriticalSectionLock hold(lock_);
    return registry_.contains(id);
}

void CUploadManager::Remove(const WideString& id)
{
    com::CriticalSectionLock hold(lock_);
    const auto entry = registry_.find(id);
    if (entry == registry_.end())
        return;
    const bool scheduled = entry->second.scheduled;
    if (scheduled)
        expiryList_.erase(entry->second.expiry);
    registry_.erase(entry);
    if (scheduled)
        worker_.PostChanged();
}

void CUploadManager::Unregister(const WideString& id)
{
    com::CriticalSectionLock hold(lock_);
    const auto entry = registry_.find(id);
    if (entry == registry_.end() || entry->second.scheduled)
        return; // unknown, or the first schedule stands
    expiryList_.emplace_back(::GetTickCount() + RetentionMs, id);
    entry->second.expiry = std::prev(expiryList_.end());
    entry->second.scheduled = true;
    if (!worker_.Start())
        throw EUploadManager();
    worker_.PostChanged();
}

void CUploadManager::ForgetOldestEnded() noexcept
{
    registry_.erase(expiryList_.front().second);
    expiryList_.pop_front();
}

void CUploadManager::WorkerStarting(CWorkerThread::TRun&)
{
    // The loop looks at the schedule as soon as it starts.
    if (!::PostThreadMessageW(::GetCurrentThreadId(), ScheduleChangedMessage, 0, 0))
        throw EUploadManager();
}

void CUploadManager::WorkerWake(CWorkerThread::TRun& run, bool, bool)
{
    // The timer is one-shot in effect: whatever woke the worker, it is armed anew below.
    if (const UINT_PTR t = std::exchange(run.timer, 0); t && !::KillTimer(nullptr, t))
        throw EUploadManager();
    const auto armTimer = [&run](DWORD delay) {
        run.timer = ::SetTimer(nullptr, 0, delay, nullptr);
        if (!run.timer)
            throw EUploadManager();
    };

    const bool wasEmpty = expiryList_.empty();
    while (!expiryList_.empty() && static_cast<LONG>(expiryList_.front().first - ::GetTickCount()) <= 0)
        ForgetOldestEnded();

    const DWORD now = ::GetTickCount();
    if (!expiryList_.empty()) {
        run.idle = false;
        const LONG delay = static_cast<LONG>(expiryList_.front().first - now);
        armTimer(delay < static_cast<LONG>(MinRearmMs) ? MinRearmMs : static_cast<DWORD>(delay));
    } else if (run.idle && wasEmpty) {
        const LONG remaining = static_cast<LONG>(run.idleDeadline - now);
        if (remaining <= 0)
            throw EUploadManagerInt();
        armTimer(static_cast<DWORD>(remaining));
    } else {
        run.idle = true;
        run.idleDeadline = now + IdleLifeMs;
        armTimer(IdleLifeMs);
    }
}
