#include "progress/upload_manager.h"

#include "frame/bstr.h"
#include "frame/failure_reason.h"
#include "results/file_operations.h"

#include <algorithm>

HRESULT CUploadManager::Init() noexcept
{
    return worker_.Init() ? S_OK : E_FAIL;
}

void CUploadManager::Term(bool mayCallCom) noexcept
{
    frame::CriticalSectionLock hold(lock_);
    if (!mayCallCom) {
        for (auto& entry : registry_)
            entry.second.Abandon();
    }
    expiryList_.clear();
    registry_.clear();
    worker_.Term();
}

bool CUploadManager::IsRunning() noexcept
{
    frame::CriticalSectionLock hold(lock_);
    return worker_.IsRunning();
}

void CUploadManager::Register(WideString& id, IUploadMetadata*& metadata)
{
    if (!metadata)
        throw EUploadManager();
    frame::CriticalSectionLock hold(lock_);
    if (!id.empty() && registry_.contains(id)) {
        frame::ReportFailure("Save: the upload ID ", frame::Quoted(id),
                             " is already registered (an upload under it runs, or ended less than 10 minutes ago)");
        throw EUploadManager();
    }

    // The caller's string is rewritten only once the registration has succeeded.
    WideString key = id;
    while (key.empty() || (id.empty() && registry_.contains(key)))
        key = utils::CreateGuidString();

    frame::ComPtr<IUploadStatisticsControl> control;
    if (FAILED(frame::QueryInterfaceTo(metadata, IID_IUploadStatisticsControl, control)) || !control)
        throw EUploadManager();
    {
        frame::Bstr idText(key);
        if (FAILED(control->put_ID(idText.Get())))
            throw EUploadManager();
    }
    CGitRegistration registration = CGitRegistration::Register(metadata, IID_IUploadMetadata);
    WideString written = key;
    registry_.emplace(std::move(key), std::move(registration));
    id.swap(written);
}

frame::ComPtr<IUploadMetadata> CUploadManager::Find(const WideString& id)
{
    frame::ComPtr<IUploadMetadata> result;
    frame::CriticalSectionLock hold(lock_);
    const auto entry = registry_.find(id);
    if (entry != registry_.end()) {
        if (FAILED(entry->second.Get(IID_IUploadMetadata, result.ReceiveVoid())) || !result)
            throw EUploadManager();
    }
    return result;
}

bool CUploadManager::Contains(const WideString& id)
{
    frame::CriticalSectionLock hold(lock_);
    return registry_.contains(id);
}

void CUploadManager::Remove(const WideString& id)
{
    frame::CriticalSectionLock hold(lock_);
    registry_.erase(id);
    const auto scheduled = std::find_if(expiryList_.begin(), expiryList_.end(),
                                        [&](const auto& pending) { return pending.second == id; });
    if (scheduled != expiryList_.end()) {
        expiryList_.erase(scheduled);
        ::PostThreadMessageW(worker_.ThreadId(), ScheduleChangedMessage, 0, 0);
    }
}

void CUploadManager::Unregister(const WideString& id)
{
    frame::CriticalSectionLock hold(lock_);
    if (!registry_.contains(id))
        return;
    if (std::any_of(expiryList_.begin(), expiryList_.end(), [&](const auto& pending) { return pending.second == id; }))
        return;  // the first schedule stands
    expiryList_.emplace_back(::GetTickCount() + RetentionMs, id);
    EnsureWorker();
    ::PostThreadMessageW(worker_.ThreadId(), ScheduleChangedMessage, 0, 0);
}

void CUploadManager::StopWorker() noexcept
{
    for (;;) {
        {
            frame::CriticalSectionLock hold(lock_);
            if (!worker_.IsRunning())
                return;
            if (const DWORD id = worker_.ThreadId())
                ::PostThreadMessageW(id, QuitMessage, 0, 0);
        }
        ::Sleep(1);
    }
}

void CUploadManager::EnsureWorker()
{
    if (!worker_.Start(&CUploadManager::ThreadProc, this))
        throw EUploadManager();
}

unsigned __stdcall CUploadManager::ThreadProc(void* self)
{
    return static_cast<CUploadManager*>(self)->WorkerMain();
}

unsigned CUploadManager::WorkerMain() noexcept
{
    // Startup: nothing here touches lock_, which the starter holds while it waits for the report.
    bool comInitialised = false;
    try {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        if (!::PostThreadMessageW(::GetCurrentThreadId(), 0, 0, 0) || !::WaitMessage())
            throw EUploadManager();
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comInitialised = SUCCEEDED(hr);
        if (hr != S_OK)
            throw EUploadManager();
        // The loop looks at the schedule as soon as it starts.
        if (!::PostThreadMessageW(::GetCurrentThreadId(), ScheduleChangedMessage, 0, 0))
            throw EUploadManager();
    } catch (...) {
        if (comInitialised)
            ::CoUninitialize();
        worker_.ReportStartup(false);
        return 1;
    }
    worker_.ReportStartup(true);

    unsigned exitCode = 0;
    try {
        RunLoop();
    } catch (...) {
        exitCode = 1;
    }
    ::CoUninitialize();
    return exitCode;
}

void CUploadManager::RunLoop()
{
    UINT_PTR timer = 0;
    bool idle = false;
    DWORD idleDeadline = 0;
    bool forgotten = false;

    const auto killTimer = [&timer] {
        if (const UINT_PTR t = std::exchange(timer, 0); t && !::KillTimer(nullptr, t))
            throw EUploadManager();
    };
    const auto armTimer = [&timer](DWORD delay) {
        timer = ::SetTimer(nullptr, 0, delay, nullptr);
        if (!timer)
            throw EUploadManager();
    };

    try {
        for (;;) {
            MSG msg;
            const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1)
                throw EUploadManager();

            frame::CriticalSectionLock hold(lock_);
            try {
                bool quit = false, fired = false, changed = false;
                do {
                    switch (msg.message) {
                    case WM_QUIT:
                    case QuitMessage:
                        quit = true;
                        break;
                    case WM_TIMER:
                        killTimer();  // one-shot in effect
                        fired = true;
                        break;
                    case ScheduleChangedMessage:
                        changed = true;
                        break;
                    default:
                        ::TranslateMessage(&msg);
                        ::DispatchMessageW(&msg);
                        break;
                    }
                } while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

                if (quit)
                    throw EUploadManagerInt();
                if (!fired && !changed)
                    continue;

                killTimer();
                const bool wasEmpty = expiryList_.empty();
                while (!expiryList_.empty() && static_cast<LONG>(expiryList_.front().first - ::GetTickCount()) <= 0) {
                    // Revoking the registration may destroy the statistics object here.
                    registry_.erase(expiryList_.front().second);
                    expiryList_.pop_front();
                }

                const DWORD now = ::GetTickCount();
                if (!expiryList_.empty()) {
                    idle = false;
                    const LONG delay = static_cast<LONG>(expiryList_.front().first - now);
                    armTimer(delay < static_cast<LONG>(MinRearmMs) ? MinRearmMs : static_cast<DWORD>(delay));
                } else if (idle && wasEmpty) {
                    const LONG remaining = static_cast<LONG>(idleDeadline - now);
                    if (remaining <= 0)
                        throw EUploadManagerInt();
                    armTimer(static_cast<DWORD>(remaining));
                } else {
                    idle = true;
                    idleDeadline = now + IdleLifeMs;
                    armTimer(IdleLifeMs);
                }
            } catch (...) {
                // Leaving, normally or not: from now on no worker is recorded.
                worker_.Forget();
                forgotten = true;
                throw;
            }
        }
    } catch (const EUploadManagerInt&) {
        if (timer)
            ::KillTimer(nullptr, std::exchange(timer, 0));
    } catch (...) {
        if (timer)
            ::KillTimer(nullptr, std::exchange(timer, 0));
        if (!forgotten) {
            frame::CriticalSectionLock hold(lock_);
            worker_.Forget();
        }
        throw;
    }
}
