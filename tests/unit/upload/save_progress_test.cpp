// Save as a progress page sees it: the upload registered under the page's ID (or a generated
// one), its outcome recorded, IDs refused while registered, and a cancel arriving mid-body.
#include "com/bstr.h"
#include "com/com_object.h"
#include "host/body_source.h"
#include "host/page_host.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"
#include "upload/upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>

namespace {

using namespace progress_test;
using testing_support::TestTempDir;
using UploadPtr = com::ComPtr<com::ComObject<CUpload>>;

constexpr char kBoundary[] = "AaB03x";

std::string Body(std::size_t fileSize)
{
    return std::string("--AaB03x\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhello\r\n"
                       "--AaB03x\r\nContent-Disposition: form-data; name=\"doc\"; filename=\"d.bin\"\r\n\r\n") +
           std::string(fileSize, 'd') + "\r\n--AaB03x--\r\n";
}

// Hands out the body in 1000-byte pieces and calls beforeRead(n) before the n-th piece; a failure
// it answers is the read's.
class CWatchedSource final : public host::CBodySource {
public:
    CWatchedSource(std::string body, std::function<HRESULT(int)> beforeRead)
        : body_(std::move(body)), beforeRead_(std::move(beforeRead))
    {}
    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override
    {
        ++reads_;
        if (beforeRead_) {
            const HRESULT hr = beforeRead_(reads_);
            if (FAILED(hr))
                return hr;
        }
        const std::size_t n = std::min<std::size_t>({wanted, 1000, body_.size() - position_});
        std::memcpy(buffer, body_.data() + position_, n);
        position_ += n;
        *delivered = static_cast<ULONG>(n);
        return S_OK;
    }
    ULONGLONG Available() const noexcept override { return body_.size() - position_; }

private:
    std::string body_;
    std::function<HRESULT(int)> beforeRead_;
    std::size_t position_ = 0;
    int reads_ = 0;
};

class SaveProgress : public ::testing::Test {
protected:
    UploadPtr Upload(const std::string& body, std::function<HRESULT(int)> beforeRead = {}, const WideString& id = {})
    {
        UploadPtr upload;
        EXPECT_EQ(com::CreateComObject(upload), S_OK);
        auto page = host::CreatePage(
            host::MakeRequestHead("POST", {{"Content-Type", std::string("multipart/form-data; boundary=") + kBoundary}},
                                  body.size()),
            std::make_unique<CWatchedSource>(body, std::move(beforeRead)));
        EXPECT_EQ(upload->OnStartPage(page.Get()), S_OK);
        if (!id.empty()) {
            EXPECT_EQ(upload->put_ID(com::Bstr(id).Get()), S_OK);
        }
        return upload;
    }

    HRESULT Save(CUpload& upload) { return upload.Save(com::Bstr(dir_.Wide()).Get()); }

    static WideString IdOf(CUpload& upload)
    {
        com::Bstr id;
        EXPECT_EQ(upload.get_ID(id.Receive()), S_OK);
        return id.ToWide();
    }

    static bool Known(CUpload& upload, const WideString& id)
    {
        VARIANT_BOOL known = 7;
        EXPECT_EQ(upload.IsUploadInitialized(com::Bstr(id).Get(), &known), S_OK);
        return known == VARIANT_TRUE;
    }

    static LONG Count(CUpload& upload)
    {
        com::ComPtr<IUploadedFileCollection> files;
        com::ComPtr<ITextFieldCollection> form;
        LONG a = -1, b = -1;
        EXPECT_EQ(upload.get_Files(files.Receive()), S_OK);
        EXPECT_EQ(upload.get_Form(form.Receive()), S_OK);
        if (files && form) {
            files->get_Count(&a);
            form->get_Count(&b);
        }
        return a + b;
    }

    static UploadState Status(const WideString& id)
    {
        UploadState status = Rejected;
        EXPECT_EQ(NewProgress(id)->get_UploadStatus(&status), S_OK);
        return status;
    }

    void TearDown() override
    {
        for (const auto& id : forget_)
            Manager().Remove(id);
        EXPECT_TRUE(dir_.Files().empty()) << "temporary files left behind";
    }

    MtaScope apartment_;
    TestTempDir dir_;
    std::set<WideString> forget_;
};

TEST_F(SaveProgress, WithoutAnIdSaveRegistersUnderAFreshGuidThatOutlivesIt)
{
    const std::string body = Body(5000);
    WideString first;
    for (int i = 0; i < 2; ++i) {
        auto upload = Upload(body);
        ASSERT_EQ(Save(*upload.Get()), S_OK);
        const WideString id = IdOf(*upload.Get());
        forget_.insert(id);
        ASSERT_EQ(id.size(), 38u);
        EXPECT_EQ(id.front(), static_cast<OLECHAR>('{'));
        EXPECT_EQ(id.back(), static_cast<OLECHAR>('}'));
        EXPECT_NE(id, first);
        first = id;

        EXPECT_TRUE(Known(*upload.Get(), id)) << "kept after Save for a late progress page";
        auto progress = NewProgress(id);
        LONG total = 0, uploaded = 0, files = 0;
        ASSERT_EQ(progress->get_TotalBytes(&total), S_OK);
        ASSERT_EQ(progress->get_UploadedBytes(&uploaded), S_OK);
        ASSERT_EQ(progress->get_UploadedFilesCount(&files), S_OK);
        EXPECT_EQ(total, static_cast<LONG>(body.size()));
        EXPECT_EQ(uploaded, static_cast<LONG>(body.size()));
        EXPECT_EQ(files, 1);
        EXPECT_EQ(Status(id), Complete);
    }

    // A request without a body registers nothing and leaves the ID empty.
    auto empty = Upload("");
    ASSERT_EQ(Save(*empty.Get()), S_OK);
    EXPECT_TRUE(IdOf(*empty.Get()).empty());
}

TEST_F(SaveProgress, AnIdIsRefusedWhileRegisteredAndComparedCaseSensitively)
{
    const std::string body = Body(100);
    forget_ = {OLESTR("page-Id-7"), OLESTR("PAGE-ID-7")};
    auto first = Upload(body, {}, OLESTR("page-Id-7"));
    ASSERT_EQ(Save(*first.Get()), S_OK);
    EXPECT_EQ(Count(*first.Get()), 2);

    auto again = Upload(body, {}, OLESTR("page-Id-7"));
    EXPECT_EQ(Save(*again.Get()), E_FAIL);
    EXPECT_EQ(Count(*again.Get()), 0);
    EXPECT_EQ(Save(*again.Get()), E_FAIL) << "a failed Save is final";
    EXPECT_EQ(Status(OLESTR("page-Id-7")), Complete) << "the first upload is untouched";

    EXPECT_FALSE(Known(*first.Get(), OLESTR("PAGE-ID-7")));
    auto other = Upload(body, {}, OLESTR("PAGE-ID-7"));
    EXPECT_EQ(Save(*other.Get()), S_OK);
    EXPECT_EQ(Count(*other.Get()), 2);
}

TEST_F(SaveProgress, RegisteredDuringTheParseAndTheOutcomeIsRecorded)
{
    const std::string body = Body(20000);
    forget_ = {OLESTR("seen-mid-body"), OLESTR("cancelled-mid-body"), OLESTR("broken-mid-body")};

    // While the body is read, the upload is known and running.
    UploadPtr watched;
    bool knownDuring = false;
    UploadState statusDuring = Waiting;
    watched = Upload(
        body,
        [&](int n) {
            if (n == 3) {
                knownDuring = Known(*watched.Get(), OLESTR("seen-mid-body"));
                statusDuring = Status(OLESTR("seen-mid-body"));
            }
            return S_OK;
        },
        OLESTR("seen-mid-body"));
    ASSERT_EQ(Save(*watched.Get()), S_OK);
    EXPECT_TRUE(knownDuring);
    EXPECT_EQ(statusDuring, Uploading);
    watched.Reset();

    // A cancel from a progress page: Save succeeds with nothing received.
    auto cancelled = Upload(
        body,
        [](int n) {
            if (n == 5) {
                EXPECT_EQ(NewProgress(OLESTR("cancelled-mid-body"))->CancelUpload(), S_OK);
            }
            return S_OK;
        },
        OLESTR("cancelled-mid-body"));
    EXPECT_EQ(Save(*cancelled.Get()), S_OK);
    EXPECT_EQ(Count(*cancelled.Get()), 0);
    EXPECT_EQ(Status(OLESTR("cancelled-mid-body")), Cancelled);
    cancelled.Reset();

    // A read that fails mid-body fails the parse: the statistics say so.
    auto broken = Upload(
        body, [](int n) { return n == 5 ? E_ACCESSDENIED : S_OK; }, OLESTR("broken-mid-body"));
    EXPECT_EQ(Save(*broken.Get()), E_FAIL);
    EXPECT_EQ(Count(*broken.Get()), 0);
    EXPECT_EQ(Status(OLESTR("broken-mid-body")), Error);
}

} // namespace
