// The statistics updater: what Save's registration, reports and teardown leave behind.
#include "progress/upload_metadata_auto_wrap.h"

#include "com/bstr.h"
#include "com/com_object.h"
#include "progress_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace progress_test;

class StatisticsUpdaterTest : public ::testing::Test {
protected:
    MtaScope apartment_;
};

template <class T>
T Read(IProgress* p, HRESULT (STDMETHODCALLTYPE IProgress::*getter)(T*))
{
    T v{};
    EXPECT_EQ((p->*getter)(&v), S_OK);
    return v;
}

TEST_F(StatisticsUpdaterTest, TracksOneUploadFromRegistrationToRetention)
{
    WideString id; // empty: the manager names the upload
    com::ComPtr<IProgress> p;
    {
        CUploadMetadataAutoWrap updater(id, 30000);
        ASSERT_EQ(id.size(), 38u);
        EXPECT_TRUE(Manager().Contains(id));
        EXPECT_TRUE(Timer().IsRunning());
        p = NewProgress(id);
        EXPECT_EQ(Read(p.Get(), &IProgress::get_TotalBytes), 30000);
        EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadStatus), Uploading);

        updater.AddUploadedBytes(8192);
        const OLECHAR path[] = {'C', ':', '\\', 'a', '.', 't', 'x', 't', 0, 'z'};
        updater.SetCurrentFileName(WideString(path, 10));
        updater.IncNumberOfUploadedFiles();
        EXPECT_FALSE(updater.IsUploadCancelled());
        EXPECT_THROW(updater.AddUploadedBytes(-1), CUploadMetadataAutoWrap::EUploadMetadataAutoWrap);

        EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadedBytes), 8192);
        EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadedFilesCount), 1);
        com::Bstr name;
        ASSERT_EQ(p->get_CurrentFileName(name.Receive()), S_OK);
        EXPECT_EQ(name.ToWide(), OLESTR("C:\\a.txt"));

        EXPECT_EQ(p->CancelUpload(), S_OK);
        EXPECT_TRUE(updater.IsUploadCancelled());
        updater.SetUploadResult(uprCancel);
    }
    // Unsubscribed from the timer, still findable during the retention.
    EXPECT_NO_THROW(Timer().Unsubscribe(id, false));
    EXPECT_THROW(Timer().Unsubscribe(id, true), CProgressTimer::EProgressTimer);
    EXPECT_TRUE(Manager().Contains(id));
    EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadStatus), Cancelled);
    EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadedBytes), 8192);
    Manager().Remove(id);
}

TEST_F(StatisticsUpdaterTest, DuplicateIdFailsWithoutDisturbingTheFirst)
{
    WideString id = OLESTR("upd-dup");
    auto first = std::make_unique<CUploadMetadataAutoWrap>(id, 100);
    first->AddUploadedBytes(10);
    WideString again = id;
    EXPECT_THROW(CUploadMetadataAutoWrap(again, 200), CUploadManager::EUploadManager);
    auto p = NewProgress(id);
    EXPECT_EQ(Read(p.Get(), &IProgress::get_TotalBytes), 100);

    first->SetUploadResult(uprSuccess);
    first.reset();
    EXPECT_THROW(CUploadMetadataAutoWrap(again, 200), CUploadManager::EUploadManager); // within retention
    EXPECT_EQ(Read(p.Get(), &IProgress::get_UploadStatus), Complete);
    Manager().Remove(id);

    CUploadMetadataAutoWrap later(again, 300); // free again once forgotten
    EXPECT_EQ(Read(p.Get(), &IProgress::get_TotalBytes), 300);
    Manager().Remove(id);
}

TEST_F(StatisticsUpdaterTest, FailedSubscriptionUndoesTheRegistration)
{
    Subscriber squatter = NewSubscriber();
    ITimerSubscriber* raw = squatter.Get();
    Timer().Subscribe(OLESTR("upd-squatted"), raw);

    WideString id = OLESTR("upd-squatted");
    EXPECT_THROW(CUploadMetadataAutoWrap(id, 10), CProgressTimer::EProgressTimer);
    EXPECT_FALSE(Manager().Contains(id));
    Timer().Unsubscribe(id, true);
}

} // namespace
