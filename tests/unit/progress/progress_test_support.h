// Helpers shared by the progress tests: a COM apartment per test thread, waiting on real time
// (GetTickCount may be virtual), stopping the module's workers between tests, and creating the
// statistics and Progress objects through their class objects.
#pragma once

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "server/module.h"
#include "platform/win.h"

#include "kestrune_idl.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace progress_test {

/// Joins the multithreaded apartment for the life of the scope.
class MtaScope {
public:
    MtaScope() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~MtaScope()
    {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    MtaScope(const MtaScope&) = delete;
    MtaScope& operator=(const MtaScope&) = delete;

private:
    HRESULT hr_;
};

/// Polls pred on real time until it holds or timeoutMs pass; returns its last value.
template <class P>
bool WaitUntil(P pred, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline CUploadManager& Manager()
{
    return CKestruneModule::Instance().UploadManager();
}
inline CProgressTimer& Timer()
{
    return CKestruneModule::Instance().ProgressTimer();
}

/// Ends both workers so that a test starts from a quiet module.
inline void StopWorkers()
{
    Manager().StopWorker();
    Timer().StopWorker();
}

/// Lets time pass for the workers until pred holds or maxMs have passed: on the virtual clock
/// (when it is on) in steps of stepMs with a short real pause after each, else in real time.
bool LetTimePass(const std::function<bool()>& pred, DWORD maxMs, DWORD stepMs = 100);

/// Lets maxMs of time pass for the workers (see LetTimePass), with no condition to wait for.
void AdvanceTime(DWORD ms, DWORD stepMs = 100);

/// Switches the virtual clock on for a scope where the platform has one (native builds).
class VirtualClockScope {
public:
    VirtualClockScope();
    ~VirtualClockScope();
    VirtualClockScope(const VirtualClockScope&) = delete;
    VirtualClockScope& operator=(const VirtualClockScope&) = delete;
    /// Whether ticks are virtual in this build.
    static bool Available() noexcept;
};

/// A timer subscriber that counts its runs and answers `answer`. Like the product's statistics it
/// aggregates the free-threaded marshaler, so the GIT hands the timer's thread the object itself.
class CCountingSubscriber : public com::ComObjectRoot, public ITimerSubscriber {
public:
    KESTRUNE_INTERFACE_TABLE(CCountingSubscriber, KESTRUNE_INTERFACE(CCountingSubscriber, ITimerSubscriber),
                             KESTRUNE_INTERFACE_AGGREGATE(CCountingSubscriber, IMarshal, marshaler_))

    STDMETHODIMP Run() override
    {
        ++runs;
        return answer;
    }

    std::atomic<int> runs{0};
    HRESULT answer = S_OK;

protected:
    HRESULT FinalConstruct() { return ::CoCreateFreeThreadedMarshaler(ControllingUnknown(), marshaler_.Receive()); }

private:
    com::ComPtr<IUnknown> marshaler_;
};

using Subscriber = com::ComPtr<com::ComObject<CCountingSubscriber>>;

/// A new subscriber answering `answer` from Run.
Subscriber NewSubscriber(HRESULT answer = S_OK);

/// A new statistics object, created the way the updater creates it.
com::ComPtr<IUploadStatisticsControl> NewStatistics();
/// A new Progress object (plain) following id.
com::ComPtr<IProgress> NewProgress(const WideString& id);

} // namespace progress_test
