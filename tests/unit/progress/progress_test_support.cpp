#include "progress_test_support.h"

#include "com/bstr.h"
#include "server/instance_creators.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/posix/virtual_clock.h"
#endif

namespace progress_test {

Subscriber NewSubscriber(HRESULT answer)
{
    Subscriber s;
    EXPECT_EQ(com::CreateComObject(s), S_OK);
    if (s)
        s->answer = answer;
    return s;
}

com::ComPtr<IUploadStatisticsControl> NewStatistics()
{
    com::ComPtr<IUploadStatisticsControl> stats;
    EXPECT_EQ(com::CreateUploadMetadataInstance(nullptr, IID_IUploadStatisticsControl, stats.ReceiveVoid()), S_OK);
    return stats;
}

com::ComPtr<IProgress> NewProgress(const WideString& id)
{
    com::ComPtr<IProgress> progress;
    EXPECT_EQ(com::CreateProgressInstance(nullptr, IID_IProgress, progress.ReceiveVoid()), S_OK);
    if (progress && !id.empty()) {
        com::Bstr text(id);
        EXPECT_EQ(progress->put_ID(text.Get()), S_OK);
    }
    return progress;
}

bool LetTimePass(const std::function<bool()>& pred, DWORD maxMs, DWORD stepMs)
{
#ifndef _WIN32
    if (platform::IsVirtualClock()) {
        for (DWORD passed = 0; !pred(); passed += stepMs) {
            // Out of virtual time: a loaded machine may still be working through the last tick.
            if (passed >= maxMs)
                return WaitUntil(pred, 3000);
            platform::AdvanceTickCount(stepMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
#endif
    (void)stepMs;
    return WaitUntil(pred, static_cast<int>(maxMs));
}

void AdvanceTime(DWORD ms, DWORD stepMs)
{
#ifndef _WIN32
    if (platform::IsVirtualClock()) {
        for (DWORD passed = 0; passed < ms; passed += stepMs) {
            platform::AdvanceTickCount(stepMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return;
    }
#endif
    (void)stepMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

VirtualClockScope::VirtualClockScope()
{
    StopWorkers(); // no timer armed on the other clock
#ifndef _WIN32
    platform::UseVirtualClock(true);
#endif
}

VirtualClockScope::~VirtualClockScope()
{
    StopWorkers();
#ifndef _WIN32
    platform::UseVirtualClock(false);
#endif
}

bool VirtualClockScope::Available() noexcept
{
#ifndef _WIN32
    return true;
#else
    return false;
#endif
}

namespace {

// Workers must not outlive the test run: the module is torn down by a static destructor.
// On Windows the test program is not a registered server, so the statistics class is offered
// to CoCreateInstance through a class-object registration for the run.
class ProgressEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
#ifdef _WIN32
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        com::ComPtr<IUnknown> factory;
        if (SUCCEEDED(
                CKestruneModule::Instance().GetClassObject(CLSID_UploadMetadata, IID_IUnknown, factory.ReceiveVoid())))
            ::CoRegisterClassObject(CLSID_UploadMetadata, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                    &cookie_);
#endif
    }
    void TearDown() override
    {
        StopWorkers();
#ifdef _WIN32
        if (cookie_)
            ::CoRevokeClassObject(cookie_);
        ::CoUninitialize();
#endif
    }

private:
    DWORD cookie_ = 0;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ProgressEnvironment);

} // namespace

} // namespace progress_test
