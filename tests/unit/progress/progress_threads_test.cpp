// Many uploads at once, each followed by progress readers on other threads, some cancelled from
// a reader mid-body. Each upload is an Upload object's Save over a page-host request.
#include "com/bstr.h"
#include "com/com_object.h"
#include "host/page_host.h"
#include "progress_test_support.h"
#include "upload/upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace progress_test;

constexpr char kBoundary[] = "kestrune-threads-0123";
constexpr int kTextFields = 3;

std::string MakeBody(std::size_t fileSize)
{
    std::string body;
    for (int i = 1; i <= kTextFields; ++i)
        body += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"f" + std::to_string(i) +
                "\"\r\n\r\nvalue " + std::to_string(i) + "\r\n";
    body += std::string("--") + kBoundary +
            "\r\nContent-Disposition: form-data; name=\"doc\"; filename=\"C:\\docs\\big.bin\"\r\n"
            "Content-Type: application/octet-stream\r\n\r\n";
    for (std::size_t i = 0; i < fileSize; ++i)
        body += static_cast<char>('a' + i % 23);
    body += std::string("\r\n--") + kBoundary + "--\r\n";
    return body;
}

WideString Widen(const std::string& ascii)
{
    return WideString(ascii.begin(), ascii.end());
}

// Serves the body in small pieces; from gateAt on it waits until open() holds (bounded), so a
// cancellation from a reader arrives while the body is still being read.
class CGatedSource final : public host::CBodySource {
public:
    CGatedSource(std::string body, std::size_t gateAt, std::function<bool()> open)
        : body_(std::move(body)), gateAt_(gateAt), open_(std::move(open))
    {}

    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override
    {
        if (open_ && position_ >= gateAt_) {
            WaitUntil(open_, 20000);
            open_ = nullptr;
        }
        std::size_t n = std::min<std::size_t>({wanted, 3000, body_.size() - position_});
        if (open_)
            n = std::min(n, gateAt_ - position_);
        std::memcpy(buffer, body_.data() + position_, n);
        position_ += n;
        *delivered = static_cast<ULONG>(n);
        return S_OK;
    }

    ULONGLONG Available() const noexcept override { return body_.size() - position_; }

private:
    std::string body_;
    std::size_t position_ = 0;
    std::size_t gateAt_;
    std::function<bool()> open_;
};

struct TUploadRun {
    WideString id;
    bool cancel = false;
    HRESULT saved = E_UNEXPECTED;
    LONG files = -1;
    LONG texts = -1;
};

// A page's Upload object, saving under the run's ID.
void SaveWithProgress(TUploadRun& run, const std::string& body, const WideString& tempDir)
{
    MtaScope apartment;
    const WideString id = run.id;
    std::function<bool()> cancelled;
    if (run.cancel)
        cancelled = [id] {
            const auto stats = Manager().Find(id);
            VARIANT_BOOL flag = VARIANT_FALSE;
            return stats && SUCCEEDED(stats->get_UploadCancelled(&flag)) && flag != VARIANT_FALSE;
        };
    auto page = host::CreatePage(
        host::MakeRequestHead("POST", {{"Content-Type", std::string("multipart/form-data; boundary=") + kBoundary}},
                              body.size()),
        std::make_unique<CGatedSource>(body, body.size() / 2, cancelled));

    com::ComPtr<com::ComObject<CUpload>> upload;
    ASSERT_EQ(com::CreateComObject(upload), S_OK);
    ASSERT_EQ(upload->OnStartPage(page.Get()), S_OK);
    ASSERT_EQ(upload->put_ID(com::Bstr(run.id).Get()), S_OK);
    run.saved = upload->Save(com::Bstr(tempDir).Get());

    com::ComPtr<IUploadedFileCollection> files;
    com::ComPtr<ITextFieldCollection> texts;
    ASSERT_EQ(upload->get_Files(files.Receive()), S_OK);
    ASSERT_EQ(upload->get_Form(texts.Receive()), S_OK);
    EXPECT_EQ(files->get_Count(&run.files), S_OK);
    EXPECT_EQ(texts->get_Count(&run.texts), S_OK);
    EXPECT_EQ(upload->OnEndPage(), S_OK);
}

// Polls every figure until the upload has ended; one reader per cancelled upload cancels it.
void ReadProgress(const WideString& id, bool cancel, std::atomic<int>& failures)
{
    MtaScope apartment;
    auto p = NewProgress(id);
    bool cancelSent = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        DOUBLE d;
        LONG l;
        VARIANT_BOOL b;
        UploadState s = Waiting;
        com::Bstr text, name;
        const HRESULT results[] = {p->get_BytesPerSecondAverage(&d),
                                   p->get_BytesPerSecondCurrent(&d),
                                   p->get_PercentDone(&d),
                                   p->get_SecondsDone(&d),
                                   p->get_SecondsLeftAverage(&d),
                                   p->get_SecondsLeftCurrent(&d),
                                   p->get_TotalBytes(&l),
                                   p->get_UploadedBytes(&l),
                                   p->get_UploadedFilesCount(&l),
                                   p->get_UploadComplete(&b),
                                   p->get_UploadCancelled(&b),
                                   p->get_CurrentFileName(name.Receive()),
                                   p->get_UploadStatusString(text.Receive()),
                                   p->get_UploadStatus(&s)};
        failures += static_cast<int>(
            std::count_if(std::begin(results), std::end(results), [](HRESULT hr) { return FAILED(hr); }));
        if (s == Complete || s == Cancelled || s == Error)
            return;
        if (cancel && !cancelSent && s == Uploading && SUCCEEDED(p->get_UploadedBytes(&l)) && l > 0) {
            if (p->CancelUpload() != S_OK)
                ++failures;
            cancelSent = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ++failures;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(ProgressThreads, ConcurrentUploadsWithReadersAndCancellations)
{
    MtaScope apartment;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kestrune-progress-threads-" + std::to_string(::GetCurrentThreadId()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const WideString tempDir = Widen(dir.string());
    const std::string body = MakeBody(60000);

    std::vector<TUploadRun> runs(9);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        runs[i].id = Widen("threads-upload-" + std::to_string(i));
        runs[i].cancel = i % 3 == 0;
    }
    runs[8].id = OLESTR("THREADS-UPLOAD-1"); // differs from upload 1 in case only: another upload

    std::atomic<int> readFailures{0};
    {
        std::vector<std::thread> threads;
        for (auto& run : runs) {
            threads.emplace_back(SaveWithProgress, std::ref(run), std::cref(body), std::cref(tempDir));
            threads.emplace_back(ReadProgress, run.id, run.cancel, std::ref(readFailures));
            threads.emplace_back(ReadProgress, run.id, false, std::ref(readFailures));
        }
        for (auto& t : threads)
            t.join();
    }
    EXPECT_EQ(readFailures.load(), 0);

    for (const auto& run : runs) {
        SCOPED_TRACE(std::string(run.id.begin(), run.id.end()));
        auto p = NewProgress(run.id);
        UploadState status = Waiting;
        LONG bytes = 0, files = 0;
        ASSERT_EQ(p->get_UploadStatus(&status), S_OK);
        ASSERT_EQ(p->get_UploadedBytes(&bytes), S_OK);
        ASSERT_EQ(p->get_UploadedFilesCount(&files), S_OK);
        EXPECT_EQ(run.saved, S_OK);
        if (run.cancel) {
            EXPECT_EQ(run.files, 0);
            EXPECT_EQ(run.texts, 0);
            EXPECT_EQ(status, Cancelled);
            EXPECT_LT(bytes, static_cast<LONG>(body.size()));
        } else {
            EXPECT_EQ(run.files, 1);
            EXPECT_EQ(run.texts, kTextFields);
            EXPECT_EQ(status, Complete);
            EXPECT_EQ(bytes, static_cast<LONG>(body.size()));
            EXPECT_EQ(files, 1);
        }
    }

    // While registered (within the retention) an ID cannot be used again.
    TUploadRun again;
    again.id = runs[1].id;
    SaveWithProgress(again, body, tempDir);
    EXPECT_EQ(again.saved, E_FAIL);
    EXPECT_EQ(again.files, 0);
    EXPECT_EQ(again.texts, 0);

    for (const auto& run : runs)
        Manager().Remove(run.id);
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "temporary files left behind";
    std::filesystem::remove_all(dir);
}

} // namespace
