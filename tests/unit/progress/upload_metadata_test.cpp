// The statistics object as its three kinds of callers see it.
#include "progress/upload_metadata.h"

#include "com/bstr.h"
#include "progress/git_registration.h"
#include "progress_test_support.h"

#include <gtest/gtest.h>

#include <thread>

#ifndef _WIN32
#include "platform/posix/virtual_clock.h"
#endif

namespace {

using progress_test::NewStatistics;

constexpr double UnknownSeconds = 4294967.295;

struct Reader {
    com::ComPtr<IUploadMetadata> m;
    explicit Reader(const com::ComPtr<IUploadStatisticsControl>& stats)
    {
        EXPECT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata, m), S_OK);
    }
    double Get(HRESULT (STDMETHODCALLTYPE IUploadMetadata::*getter)(DOUBLE*)) const
    {
        DOUBLE v = -1;
        EXPECT_EQ((m.Get()->*getter)(&v), S_OK);
        return v;
    }
    LONG Get(HRESULT (STDMETHODCALLTYPE IUploadMetadata::*getter)(LONG*)) const
    {
        LONG v = -1;
        EXPECT_EQ((m.Get()->*getter)(&v), S_OK);
        return v;
    }
    UploadState Status() const
    {
        UploadState s = Rejected;
        EXPECT_EQ(m->get_UploadStatus(&s), S_OK);
        return s;
    }
    VARIANT_BOOL Complete() const
    {
        VARIANT_BOOL b = 7;
        EXPECT_EQ(m->get_UploadComplete(&b), S_OK);
        return b;
    }
};

TEST(UploadMetadata, FreshObjectReadsAsARunningUploadWithNothingMeasured)
{
    auto stats = NewStatistics();
    Reader r(stats);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondAverage), 0.0);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondCurrent), 0.0);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_SecondsLeftAverage), 0.0); // nothing announced, nothing left
    EXPECT_EQ(r.Get(&IUploadMetadata::get_PercentDone), 0.0);
    EXPECT_EQ(r.Status(), Uploading);
    EXPECT_EQ(r.Complete(), VARIANT_FALSE);
    com::Bstr name, id;
    EXPECT_EQ(r.m->get_CurrentFileName(name.Receive()), S_OK);
    EXPECT_EQ(name.Get(), nullptr); // null until the first file part starts
    EXPECT_EQ(r.m->get_ID(id.Receive()), S_OK);
    EXPECT_EQ(id.Get(), nullptr);

    ASSERT_EQ(stats->put_TotalBytes(100), S_OK);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsLeftAverage), UnknownSeconds);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsLeftCurrent), UnknownSeconds);
}

TEST(UploadMetadata, ThreadsInOtherApartmentsGetTheObjectItselfFromTheGlobalInterfaceTable)
{
    progress_test::MtaScope apartment;
    auto stats = NewStatistics();
    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUnknown, identity), S_OK);

    for (REFIID iid : {IID_IUploadMetadata, IID_IUploadStatisticsControl, IID_ITimerSubscriber}) {
        CGitRegistration registration = CGitRegistration::Register(stats.Get(), iid);
        HRESULT got = E_UNEXPECTED;
        IUnknown* seen = nullptr;
        std::thread([&] {
            // A single-threaded apartment, as an ASP page's thread is.
            const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            com::ComPtr<IUnknown> there;
            got = registration.Get(iid, there.ReceiveVoid());
            com::ComPtr<IUnknown> thereIdentity;
            if (SUCCEEDED(got) && SUCCEEDED(com::QueryInterfaceTo(there.Get(), IID_IUnknown, thereIdentity)))
                seen = thereIdentity.Get();
            thereIdentity.Reset();
            there.Reset();
            if (SUCCEEDED(init))
                ::CoUninitialize();
        }).join();
        EXPECT_EQ(got, S_OK);
        EXPECT_EQ(seen, identity.Get()) << "no proxy between the page threads and the workers";
    }
}

TEST(UploadMetadata, NullOutPointersAreRefused)
{
    auto stats = NewStatistics();
    Reader r(stats);
    EXPECT_EQ(r.m->get_BytesPerSecondAverage(nullptr), E_INVALIDARG);
    EXPECT_EQ(r.m->get_SecondsLeftCurrent(nullptr), E_INVALIDARG);
    EXPECT_EQ(r.m->get_CurrentFileName(nullptr), E_INVALIDARG);
    EXPECT_EQ(r.m->get_UploadStatus(nullptr), E_INVALIDARG);
    EXPECT_EQ(r.m->get_UploadCancelled(nullptr), E_INVALIDARG);
    EXPECT_EQ(stats->get_CurrentlyProcessedFileName(nullptr), E_INVALIDARG);
    EXPECT_EQ(stats->get_TotalBytes(nullptr), E_INVALIDARG);
}

TEST(UploadMetadata, CountersAndPercentage)
{
    auto stats = NewStatistics();
    Reader r(stats);
    EXPECT_EQ(stats->AddUploadedBytes(0), S_OK);
    EXPECT_EQ(stats->AddUploadedBytes(-1), E_INVALIDARG);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_UploadedBytes), 0);
    EXPECT_EQ(stats->AddUploadedBytes(300), S_OK);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_PercentDone), 0.0); // nothing announced

    ASSERT_EQ(stats->put_TotalBytes(200), S_OK);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_PercentDone), 150.0); // not clamped

    // A negative total is stored as given and counts as a large unsigned size.
    ASSERT_EQ(stats->put_TotalBytes(-2147483647 - 1), S_OK);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_TotalBytes), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_PercentDone), 300.0 / 2147483648.0 * 100.0);

    EXPECT_EQ(stats->IncNumberOfUploadedFiles(), S_OK);
    EXPECT_EQ(stats->IncNumberOfUploadedFiles(), S_OK);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_UploadedFilesCount), 2);
}

TEST(UploadMetadata, StringsAreCopiedUpToTheFirstNulAndHandedOutExactly)
{
    auto stats = NewStatistics();
    const OLECHAR withNul[] = {'a', ':', '\\', 'x', 0, 'y'};
    BSTR given = ::SysAllocStringLen(withNul, 6);
    ASSERT_EQ(stats->put_CurrentlyProcessedFileName(given), S_OK);
    ::SysFreeString(given);
    com::Bstr back;
    ASSERT_EQ(stats->get_CurrentlyProcessedFileName(back.Receive()), S_OK);
    EXPECT_EQ(back.Length(), 4u);
    EXPECT_EQ(back.ToWide(), WideString(OLESTR("a:\\x")));

    // Putting the stored string itself changes nothing; null clears.
    com::Bstr again;
    ASSERT_EQ(stats->get_CurrentlyProcessedFileName(again.Receive()), S_OK);
    EXPECT_EQ(stats->put_CurrentlyProcessedFileName(nullptr), S_OK);
    ASSERT_EQ(stats->get_CurrentlyProcessedFileName(again.Receive()), S_OK);
    EXPECT_EQ(again.Get(), nullptr);
}

// Rejected is a final state of its own; the reason reads as empty until the upload has ended in
// failure, rejection or cancellation.
TEST(UploadMetadata, ARejectionEndsTheUploadAndItsReasonIsReadOnlyOnceItEnded)
{
    auto stats = NewStatistics();
    Reader r(stats);
    com::ComPtr<IUploadStatisticsControl2> control;
    ASSERT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadStatisticsControl2, control), S_OK);
    com::ComPtr<IUploadMetadata2> reasons;
    ASSERT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata2, reasons), S_OK);
    const auto reason = [&] {
        com::Bstr text;
        EXPECT_EQ(reasons->get_StatusReason(text.Receive()), S_OK);
        EXPECT_NE(text.Get(), nullptr);
        return text.ToWide();
    };

    ASSERT_EQ(control->put_StatusReason(com::Bstr(OLESTR("over MaxFiles (3)")).Get()), S_OK);
    EXPECT_EQ(reason(), WideString()); // still running
    ASSERT_EQ(stats->put_UploadResult(uprReject), S_OK);
    EXPECT_EQ(r.Status(), Rejected);
    EXPECT_EQ(r.Complete(), VARIANT_TRUE);
    EXPECT_EQ(reason(), OLESTR("over MaxFiles (3)"));
    ASSERT_EQ(stats->put_UploadResult(uprSuccess), S_OK);
    EXPECT_EQ(reason(), WideString()); // a success needs no reason
    for (TUploadResult ended : {uprFail, uprCancel}) {
        ASSERT_EQ(stats->put_UploadResult(ended), S_OK);
        EXPECT_EQ(reason(), OLESTR("over MaxFiles (3)"));
    }
    EXPECT_EQ(reasons->get_StatusReason(nullptr), E_INVALIDARG);
}

TEST(UploadMetadata, TheResultEndsTheUploadAndFreezesTheLiveFigures)
{
    auto stats = NewStatistics();
    Reader r(stats);
    ASSERT_EQ(stats->put_TotalBytes(1000), S_OK);
    ASSERT_EQ(stats->AddUploadedBytes(400), S_OK);
    com::Bstr name(OLESTR("C:\\photos\\a.jpg"));
    ASSERT_EQ(stats->put_CurrentlyProcessedFileName(name.Get()), S_OK);

    EXPECT_EQ(stats->put_UploadResult(static_cast<TUploadResult>(7)), S_OK); // ignored
    EXPECT_EQ(r.Status(), Uploading);

    ASSERT_EQ(stats->put_UploadResult(uprSuccess), S_OK);
    EXPECT_EQ(r.Status(), Complete);
    EXPECT_EQ(r.Complete(), VARIANT_TRUE);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_SecondsLeftAverage), 0.0);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondCurrent), 0.0);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_PercentDone), 40.0);
    com::Bstr shown;
    ASSERT_EQ(r.m->get_CurrentFileName(shown.Receive()), S_OK);
    ASSERT_NE(shown.Get(), nullptr); // empty, not null
    EXPECT_EQ(shown.Length(), 0u);

    // Cancelling a finished upload only sets the flag.
    EXPECT_EQ(r.m->CancelUpload(), S_OK);
    VARIANT_BOOL cancelled = 0;
    EXPECT_EQ(stats->get_UploadCancelled(&cancelled), S_OK);
    EXPECT_EQ(cancelled, VARIANT_TRUE);
    EXPECT_EQ(r.Status(), Complete);

    ASSERT_EQ(stats->put_UploadResult(uprFail), S_OK);
    EXPECT_EQ(r.Status(), Error);
    ASSERT_EQ(stats->put_UploadResult(uprCancel), S_OK);
    EXPECT_EQ(r.Status(), Cancelled);
}

TEST(UploadMetadata, CancelFlagStoresAnyValue)
{
    auto stats = NewStatistics();
    EXPECT_EQ(stats->put_UploadCancelled(5), S_OK);
    VARIANT_BOOL v = 0;
    EXPECT_EQ(stats->get_UploadCancelled(&v), S_OK);
    EXPECT_EQ(v, 5);
}

TEST(UploadMetadata, IsNotAggregatable)
{
    auto outer = NewStatistics(); // any object will do as the would-be outer object
    com::ComPtr<IUnknown> inner;
    EXPECT_EQ(com::CreateUploadMetadataInstance(outer.Get(), IID_IUnknown, inner.ReceiveVoid()), CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(inner);
}

#ifndef _WIN32
// On the virtual clock: samples taken by Run turn into speeds and times left.
TEST(UploadMetadata, SimulatedUploadOnTheVirtualClock)
{
    progress_test::StopWorkers();
    platform::UseVirtualClock(true);
    platform::SetTickCount(0xFFFFF000u); // the tick counter wraps during the upload

    auto stats = NewStatistics();
    Reader r(stats);
    ITimerSubscriber* timer = nullptr;
    ASSERT_EQ(stats->QueryInterface(IID_ITimerSubscriber, reinterpret_cast<void**>(&timer)), S_OK);
    ASSERT_EQ(stats->put_TotalBytes(100000), S_OK);

    for (int tick = 0; tick < 10; ++tick) { // 5 s at 2000 bytes per 500 ms
        ASSERT_EQ(stats->AddUploadedBytes(2000), S_OK);
        platform::AdvanceTickCount(500);
        ASSERT_EQ(timer->Run(), S_OK);
    }
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondAverage), 4000.0);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondCurrent), 4000.0);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsLeftCurrent), 20.0); // 80000 bytes at 4000 B/s
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsDone), 5.0);

    // A stall: the current speed drops to 0 and its time left becomes unknown.
    platform::AdvanceTickCount(500);
    ASSERT_EQ(timer->Run(), S_OK);
    EXPECT_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondCurrent), 0.0);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsLeftCurrent), UnknownSeconds);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_BytesPerSecondAverage), 20000.0 / 5.5);

    // Ended: SecondsDone keeps counting.
    ASSERT_EQ(stats->put_UploadResult(uprSuccess), S_OK);
    platform::AdvanceTickCount(1500);
    EXPECT_DOUBLE_EQ(r.Get(&IUploadMetadata::get_SecondsDone), 7.0);
    timer->Release();
    platform::UseVirtualClock(false);
}
#endif

} // namespace
