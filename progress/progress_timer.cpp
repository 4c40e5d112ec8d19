#include "progress/progress_timer.h"

#include "com/com_ptr.h"

#include <utility>

void CProgressTimer::Term(bool mayCallCom) noexcept
{
    com::CriticalSectionLock hold(lock_);
    ClearRegistrations(subscribers_, mayCallCom,
                       [](CGitRegistration& registration) -> CGitRegistration& { return registration; });
    worker_.Term();
}

void CProgressTimer::Subscribe(const WideString& id, ITimerSubscriber*& subscriber)
{
    if (id.empty() || !subscriber)
        throw EProgressTimer();
    com::CriticalSectionLock hold(lock_);
    CGitRegistration registration = CGitRegistration::Register(subscriber, IID_ITimerSubscriber);
    if (!subscribers_.try_emplace(id, std::move(registration)).second)
        throw EProgressTimer(); // "Such element already present"; the new registration is revoked
    if (!worker_.Start()) {
        // Nobody would ever unsubscribe it: keeping it would hold the statistics object and
        // block the ID for good.
        subscribers_.erase(id);
        throw EProgressTimer();
    }
    worker_.PostChanged();
}

void CProgressTimer::Unsubscribe(const WideString& id, bool mustExist)
{
    if (id.empty())
        throw EProgressTimer();
    com::CriticalSectionLock hold(lock_);
    if (subscribers_.erase(id) != 0)
        worker_.PostChanged();
    else if (mustExist)
        throw EProgressTimer(); // "No such key"
}

void CProgressTimer::WorkerStarting(CWorkerThread::TRun& run)
{
    // Periodic for the worker's whole life: it is never killed on a tick.
    run.timer = ::SetTimer(nullptr, 0, TickMs, nullptr);
    if (!run.timer)
        throw EProgressTimer();
}

void CProgressTimer::WorkerWake(CWorkerThread::TRun& run, bool timerFired, bool)
{
    if (timerFired)
        CallSubscribers();
    if (!subscribers_.empty()) {
        run.idle = false;
    } else if (!run.idle) {
        run.idle = true;
        run.idleDeadline = ::GetTickCount() + IdleLifeMs;
    } else if (static_cast<LONG>(run.idleDeadline - ::GetTickCount()) <= 0) {
        throw EProgressTimerInt();
    }
}

void CProgressTimer::CallSubscribers() noexcept
{
    for (const auto& [id, registration] : subscribers_) {
        try {
            com::ComPtr<ITimerSubscriber> subscriber;
            if (SUCCEEDED(registration.Get(IID_ITimerSubscriber, subscriber.ReceiveVoid())) && subscriber)
                subscriber->Run();
        } catch (...) {
            // One failing subscriber does not stop the pass.
        }
    }
}
