// The Progress object as a progress page uses it.
#include "progress/progress.h"

#include "com/bstr.h"
#include "server/instance_creators.h"
#include "progress_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace progress_test;

class ProgressTest : public ::testing::Test {
protected:
    MtaScope apartment_;
};

com::ComPtr<IUploadStatisticsControl> RegisterStatistics(WideString id)
{
    auto stats = NewStatistics();
    com::ComPtr<IUploadMetadata> m;
    EXPECT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata, m), S_OK);
    IUploadMetadata* raw = m.Get();
    Manager().Register(id, raw);
    return stats;
}

UploadState Status(IProgress* p)
{
    UploadState s = Rejected;
    EXPECT_EQ(p->get_UploadStatus(&s), S_OK);
    return s;
}

WideString StatusString(IProgress* p)
{
    com::Bstr text;
    EXPECT_EQ(p->get_UploadStatusString(text.Receive()), S_OK);
    return text.ToWide();
}

TEST_F(ProgressTest, WithoutAnIdEveryFigureFails)
{
    auto p = NewProgress(WideString());
    DOUBLE d = 42;
    LONG l = 42;
    VARIANT_BOOL b = 42;
    UploadState s = Rejected;
    BSTR text = nullptr;
    EXPECT_EQ(p->get_PercentDone(&d), E_FAIL);
    EXPECT_EQ(p->get_BytesPerSecondAverage(&d), E_FAIL);
    EXPECT_EQ(d, 42); // untouched
    EXPECT_EQ(p->get_UploadedBytes(&l), E_FAIL);
    EXPECT_EQ(p->get_UploadComplete(&b), E_FAIL);
    EXPECT_EQ(p->get_UploadStatus(&s), E_FAIL);
    EXPECT_EQ(p->get_UploadStatusString(&text), E_FAIL);
    EXPECT_EQ(p->get_CurrentFileName(&text), E_FAIL);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(p->CancelUpload(), E_FAIL);
    EXPECT_EQ(p->get_PercentDone(nullptr), E_INVALIDARG);

    com::Bstr id;
    ASSERT_EQ(p->get_ID(id.Receive()), S_OK);
    ASSERT_NE(id.Get(), nullptr); // an empty string, not a null one
    EXPECT_EQ(id.Length(), 0u);
}

TEST_F(ProgressTest, AnUnknownIdReadsAsWaiting)
{
    auto p = NewProgress(OLESTR("prog-nobody"));
    EXPECT_EQ(Status(p.Get()), Waiting);
    EXPECT_EQ(StatusString(p.Get()), OLESTR("Upload has not started yet or a long time ago completed"));
    DOUBLE d = 42;
    EXPECT_EQ(p->get_SecondsLeftAverage(&d), S_OK);
    EXPECT_EQ(d, 0.0);
    LONG l = 42;
    EXPECT_EQ(p->get_TotalBytes(&l), S_OK);
    EXPECT_EQ(l, 0);
    BSTR name = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(p->get_CurrentFileName(&name), S_OK);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(p->CancelUpload(), E_FAIL);
}

TEST_F(ProgressTest, FollowsARegisteredUploadByIdExactly)
{
    auto p = NewProgress(OLESTR("prog-live")); // set before the upload registers
    auto other = NewProgress(OLESTR("PROG-LIVE"));
    EXPECT_EQ(Status(p.Get()), Waiting);

    auto stats = RegisterStatistics(OLESTR("prog-live"));
    ASSERT_EQ(stats->put_TotalBytes(4000), S_OK);
    ASSERT_EQ(stats->AddUploadedBytes(1000), S_OK);
    com::Bstr file(OLESTR("C:\\Users\\me\\big.iso"));
    ASSERT_EQ(stats->put_CurrentlyProcessedFileName(file.Get()), S_OK);

    EXPECT_EQ(Status(p.Get()), Uploading);
    EXPECT_EQ(StatusString(p.Get()), OLESTR("Upload in progress"));
    DOUBLE percent = 0;
    EXPECT_EQ(p->get_PercentDone(&percent), S_OK);
    EXPECT_DOUBLE_EQ(percent, 25.0);
    com::Bstr name;
    EXPECT_EQ(p->get_CurrentFileName(name.Receive()), S_OK);
    EXPECT_EQ(name.ToWide(), OLESTR("C:\\Users\\me\\big.iso"));
    EXPECT_EQ(Status(other.Get()), Waiting); // case matters

    // Cancel: the flag at once, the status only once the uploading side reports.
    EXPECT_EQ(p->CancelUpload(), S_OK);
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    EXPECT_EQ(p->get_UploadCancelled(&cancelled), S_OK);
    EXPECT_EQ(cancelled, VARIANT_TRUE);
    EXPECT_EQ(Status(p.Get()), Uploading);
    EXPECT_EQ(p->CancelUpload(), S_OK); // already set
    EXPECT_EQ(other->CancelUpload(), E_FAIL);

    ASSERT_EQ(stats->put_UploadResult(uprCancel), S_OK);
    EXPECT_EQ(Status(p.Get()), Cancelled);
    EXPECT_EQ(StatusString(p.Get()), OLESTR("Upload cancelled due to a user request"));
    ASSERT_EQ(stats->put_UploadResult(uprSuccess), S_OK);
    EXPECT_EQ(StatusString(p.Get()), OLESTR("Upload successfully completed"));
    ASSERT_EQ(stats->put_UploadResult(uprFail), S_OK);
    EXPECT_EQ(StatusString(p.Get()), OLESTR("Upload completed with an error"));

    Manager().Remove(OLESTR("prog-live"));
    EXPECT_EQ(Status(p.Get()), Waiting);
}

TEST_F(ProgressTest, StatusTexts)
{
    EXPECT_STREQ(reinterpret_cast<const char*>(CProgress::StatusText(Rejected)),
                 reinterpret_cast<const char*>(OLESTR("Upload rejected")));
    EXPECT_EQ(CProgress::StatusText(static_cast<UploadState>(6)), nullptr);
}

TEST_F(ProgressTest, DoesNotKeepTheStatisticsAlive)
{
    auto stats = RegisterStatistics(OLESTR("prog-lifetime"));
    auto p = NewProgress(OLESTR("prog-lifetime"));
    LONG l = 0;
    ASSERT_EQ(p->get_UploadedBytes(&l), S_OK);
    IUploadStatisticsControl* raw = stats.Detach();
    Manager().Remove(OLESTR("prog-lifetime"));
    EXPECT_EQ(raw->Release(), 0u); // the Progress object held no reference
}

TEST_F(ProgressTest, CreatableAloneOrAggregated)
{
    auto outer = NewProgress(WideString()); // any object can stand in as the outer object
    com::ComPtr<IUnknown> inner;
    EXPECT_EQ(com::CreateProgressInstance(outer.Get(), IID_IProgress, inner.ReceiveVoid()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(com::CreateProgressInstance(outer.Get(), IID_IUnknown, inner.ReceiveVoid()), S_OK);
    com::ComPtr<IProgress> aggregated;
    ASSERT_EQ(com::QueryInterfaceTo(inner.Get(), IID_IProgress, aggregated), S_OK);
    com::Bstr id(OLESTR("prog-aggregated"));
    EXPECT_EQ(aggregated->put_ID(id.Get()), S_OK);
    EXPECT_EQ(Status(aggregated.Get()), Waiting);

    com::ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(com::QueryInterfaceTo(outer.Get(), IID_ISupportErrorInfo, errorInfo), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IProgress), S_OK);
}

TEST_F(ProgressTest, PageBinding)
{
    auto p = NewProgress(WideString());
    EXPECT_EQ(p->OnStartPage(nullptr), E_POINTER);
    EXPECT_EQ(p->OnStartPage(p.Get()), E_FAIL); // not a scripting context
    EXPECT_EQ(p->OnEndPage(), S_OK);
}

} // namespace
