#include "progress/progress_timer.h"

#include "frame/com_ptr.h"

#include <utility>

HRESULT CProgressTimer::Init() noexcept
{
    return worker_.Init() ? S_OK : E_FAIL;
}

void CProgressTimer::Term(bool mayCallCom) noexcept
{
    frame::CriticalSectionLock hold(lock_);
    if (!mayCallCom) {
        for (auto& entry : subscribers_)
            entry.second.Abandon();
    }
    subscribers_.clear();
    worker_.Term();
}

bool CProgressTimer::IsRunning() noexcept
{
    frame::CriticalSectionLock hold(lock_);
    return worker_.IsRunning();
}

void CProgressTimer::Subscribe(const WideString& id, ITimerSubscriber*& subscriber)
{
    if (id.empty() || !subscriber)
        throw EProgressTimer();
    frame::CriticalSectionLock hold(lock_);
    CGitRegistration registration = CGitRegistration::Register(subscriber, IID_ITimerSubscriber);
    if (!subscribers_.try_emplace(id, std::move(registration)).second)
        throw EProgressTimer();  // "Such element already present"; the new registration is revoked
    if (!worker_.Start(&CProgressTimer::ThreadProc, this)) {
        // Nobody would ever unsubscribe it: keeping it would hold the statistics object and
        // block the ID for good.
        subscribers_.erase(id);
        throw EProgressTimer();
    }
    ::PostThreadMessageW(worker_.ThreadId(), SubscribersChangedMessage, 0, 0);
}

void CProgressTimer::Unsubscribe(const WideString& id, bool mustExist)
{
    if (id.empty())
        throw EProgressTimer();
    frame::CriticalSectionLock hold(lock_);
    if (subscribers_.erase(id) != 0)
        ::PostThreadMessageW(worker_.ThreadId(), SubscribersChangedMessage, 0, 0);
    else if (mustExist)
        throw EProgressTimer();  // "No such key"
}

void CProgressTimer::StopWorker() noexcept
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

unsigned __stdcall CProgressTimer::ThreadProc(void* self)
{
    return static_cast<CProgressTimer*>(self)->WorkerMain();
}

unsigned CProgressTimer::WorkerMain() noexcept
{
    // Startup: nothing here touches lock_, which the starter holds while it waits for the report.
    bool comInitialised = false;
    UINT_PTR timer = 0;
    try {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        if (!::PostThreadMessageW(::GetCurrentThreadId(), 0, 0, 0) || !::WaitMessage())
            throw EProgressTimer();
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comInitialised = SUCCEEDED(hr);
        if (hr != S_OK)
            throw EProgressTimer();
        // Periodic for the worker's whole life.
        timer = ::SetTimer(nullptr, 0, TickMs, nullptr);
        if (!timer)
            throw EProgressTimer();
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
    if (!::KillTimer(nullptr, timer))
        exitCode = 1;
    ::CoUninitialize();
    return exitCode;
}

void CProgressTimer::RunLoop()
{
    bool idle = false;
    DWORD idleDeadline = 0;
    bool forgotten = false;
    try {
        for (;;) {
            MSG msg;
            const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1)
                throw EProgressTimer();

            frame::CriticalSectionLock hold(lock_);
            try {
                bool quit = false, tick = false, changed = false;
                do {
                    switch (msg.message) {
                    case WM_QUIT:
                    case QuitMessage:
                        quit = true;
                        break;
                    case WM_TIMER:
                        tick = true;  // ticks that queued up while busy make one pass
                        break;
                    case SubscribersChangedMessage:
                        changed = true;
                        break;
                    default:
                        ::TranslateMessage(&msg);
                        ::DispatchMessageW(&msg);
                        break;
                    }
                } while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

                if (quit)
                    throw EProgressTimerInt();
                if (tick)
                    CallSubscribers();
                if (!tick && !changed)
                    continue;

                if (!subscribers_.empty()) {
                    idle = false;
                } else if (!idle) {
                    idle = true;
                    idleDeadline = ::GetTickCount() + IdleLifeMs;
                } else if (static_cast<LONG>(idleDeadline - ::GetTickCount()) <= 0) {
                    throw EProgressTimerInt();
                }
            } catch (...) {
                worker_.Forget();
                forgotten = true;
                throw;
            }
        }
    } catch (const EProgressTimerInt&) {
    } catch (...) {
        if (!forgotten) {
            frame::CriticalSectionLock hold(lock_);
            worker_.Forget();
        }
        throw;
    }
}

void CProgressTimer::CallSubscribers() noexcept
{
    for (const auto& [id, registration] : subscribers_) {
        try {
            frame::ComPtr<ITimerSubscriber> subscriber;
            if (SUCCEEDED(registration.Get(IID_ITimerSubscriber, subscriber.ReceiveVoid())) && subscriber)
                subscriber->Run();
        } catch (...) {
            // One failing subscriber does not stop the pass.
        }
    }
}
