// The limits a page sets before Save: each rejects the request that goes over it with its own
// error, stops reading at once, keeps nothing (no field, no temporary file) and tells a progress
// page why; a request just under every limit is received as without limits.
#include "com/bstr.h"
#include "host/memory_body_source.h"
#include "tests/support/save_run.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using testing_support::TestTempDir;

const std::string kBoundary = "limitsBoundary";

std::string Part(const std::string& name, const std::string& value, const char* filename = nullptr)
{
    std::string h = "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
    if (filename)
        h += std::string("; filename=\"") + filename + "\"";
    return h + "\r\n\r\n" + value + "\r\n";
}

// Two text fields (of 5 and 11 bytes), three files (of 4, 1000 and 0 bytes) and a part without a
// disposition, which the parser drops: six parts in all.
const std::string& Body()
{
    static const std::string body = Part("title", "hello") + Part("doc", "abcd", "a.txt") +
                                    Part("notes", "eleven byte") + Part("big", std::string(1000, 'b'), "b.bin") + "--" +
                                    kBoundary + "\r\n\r\nno disposition\r\n" + Part("none", "", "c.txt") + "--" +
                                    kBoundary + "--\r\n";
    return body;
}

// What one Save under some limits ends with, as a page and a progress page see it.
struct TOutcome {
    HRESULT save = E_UNEXPECTED;
    std::size_t form = 0;
    std::size_t files = 0;
    std::vector<std::string> left; // temporary files after release
    LONG bytesRead = 0;            // body bytes BinaryRead handed out
    UploadState status = Waiting;
    std::string reason; // Progress.StatusReason
};

class UploadLimits : public ::testing::Test {
protected:
    // Runs Save over `body` after `configure` set limits on the Upload object.
    TOutcome Run(const std::function<void(IUpload2&)>& configure, const std::string& body = Body())
    {
        static int serial = 0;
        const WideString id = testing_support::ToWide("limits-" + std::to_string(++serial));
        TOutcome out;
        TestTempDir temp;
        {
            save_run::SaveRun run(
                save_run::MultipartPage(kBoundary, std::make_unique<host::CMemoryBodySource>(body), body.size()));
            EXPECT_EQ(run.Configure({0, ynaAuto, id}), S_OK);
            run.Page().Request().SetReadObserver([&](LONGLONG, LONG got) { out.bytesRead += got; });
            configure(run.Upload());
            out.save = run.Save(temp.Wide());
            const save_run::TReadBack read = run.ReadBack();
            out.form = read.form.size();
            out.files = read.files.size();
        }
        out.left = temp.Files();
        auto progress = progress_test::NewProgress(id);
        EXPECT_EQ(progress->get_UploadStatus(&out.status), S_OK);
        com::ComPtr<IProgress2> progress2;
        EXPECT_EQ(com::QueryInterfaceTo(progress.Get(), IID_IProgress2, progress2), S_OK);
        com::Bstr reason;
        EXPECT_EQ(progress2->get_StatusReason(reason.Receive()), S_OK);
        for (const OLECHAR c : reason.ToWide())
            out.reason.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        progress_test::Manager().Remove(id);
        return out;
    }

    static void ExpectRejected(const TOutcome& got, HRESULT error, const std::string& reason)
    {
        EXPECT_EQ(got.save, error);
        EXPECT_EQ(got.form, 0u);
        EXPECT_EQ(got.files, 0u);
        EXPECT_TRUE(got.left.empty());
        EXPECT_EQ(got.status, Rejected);
        EXPECT_EQ(got.reason, "Save: the request is rejected: " + reason);
    }

    progress_test::MtaScope apartment_;
};

TEST_F(UploadLimits, DefaultsBoundMemoryAndPartsAndNegativeValuesAreRefused)
{
    save_run::SaveRun run(save_run::MultipartPage(kBoundary, std::make_unique<host::CMemoryBodySource>(Body()), 0));
    IUpload2& upload = run.Upload();
    using Getter = HRESULT (STDMETHODCALLTYPE IUpload2::*)(LONG*);
    using Setter = HRESULT (STDMETHODCALLTYPE IUpload2::*)(LONG);
    const std::tuple<Getter, Setter, LONG> limits[] = {
        {&IUpload2::get_MaxTotalBytes, &IUpload2::put_MaxTotalBytes, 0},
        {&IUpload2::get_MaxFileBytes, &IUpload2::put_MaxFileBytes, 0},
        {&IUpload2::get_MaxFiles, &IUpload2::put_MaxFiles, 0},
        {&IUpload2::get_MaxFields, &IUpload2::put_MaxFields, 0},
        {&IUpload2::get_MaxFieldBytes, &IUpload2::put_MaxFieldBytes, 64 * 1024 * 1024},
        {&IUpload2::get_MaxParts, &IUpload2::put_MaxParts, 10000}};
    for (const auto& [get, put, initial] : limits) {
        LONG value = -7;
        ASSERT_EQ((upload.*get)(&value), S_OK);
        EXPECT_EQ(value, initial);
        EXPECT_EQ((upload.*put)(-1), E_INVALIDARG);
        EXPECT_EQ((upload.*put)(123), S_OK);
        ASSERT_EQ((upload.*get)(&value), S_OK);
        EXPECT_EQ(value, 123);
        EXPECT_EQ((upload.*get)(nullptr), E_INVALIDARG);
    }
    VARIANT_BOOL strict = VARIANT_TRUE;
    ASSERT_EQ(upload.get_RequireCompleteBody(&strict), S_OK);
    EXPECT_EQ(strict, VARIANT_FALSE);
    // Every interface of the object answers through error information.
    com::ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(com::QueryInterfaceTo(&upload, IID_ISupportErrorInfo, support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IUpload2), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IUpload), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(UploadLimits, ARequestAtEveryLimitIsReceivedWhole)
{
    const TOutcome got = Run([](IUpload2& up) {
        up.put_MaxTotalBytes(static_cast<LONG>(Body().size()));
        up.put_MaxFileBytes(1000);
        up.put_MaxFiles(3);
        up.put_MaxFields(2);
        up.put_MaxFieldBytes(11);
        up.put_MaxParts(6);
    });
    EXPECT_EQ(got.save, S_OK);
    EXPECT_EQ(got.form, 2u);
    EXPECT_EQ(got.files, 3u);
    EXPECT_EQ(got.status, Complete);
    EXPECT_EQ(got.reason, "");
    EXPECT_EQ(got.bytesRead, static_cast<LONG>(Body().size()));
}

TEST_F(UploadLimits, EachLimitOneUnitTooSmallRejectsTheRequestWithItsOwnError)
{
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxTotalBytes(static_cast<LONG>(Body().size()) - 1); }),
                   kleMaxTotalBytes,
                   "its body of " + std::to_string(Body().size()) + " bytes is larger than MaxTotalBytes (" +
                       std::to_string(Body().size() - 1) + " bytes)");
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxFileBytes(999); }), kleMaxFileBytes,
                   "the file \"b.bin\" of the field \"big\" is larger than MaxFileBytes (999 bytes)");
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxFiles(2); }), kleMaxFiles,
                   "it holds more than MaxFiles (2) files; the next is \"c.txt\" of the field \"none\"");
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxFields(1); }), kleMaxFields,
                   "it holds more than MaxFields (1) text fields; the next is \"notes\"");
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxFieldBytes(10); }), kleMaxFieldBytes,
                   "the text field \"notes\" is larger than MaxFieldBytes (10 bytes)");
    ExpectRejected(Run([](IUpload2& up) { up.put_MaxParts(5); }), kleMaxParts, "it holds more than MaxParts (5) parts");
}

// A rejection stops reading: MaxTotalBytes before the first byte, a part limit at the chunk that
// goes over it, so a large body behind the limit is never read.
TEST_F(UploadLimits, ARejectionStopsReadingTheBodyAtOnce)
{
    const std::string body =
        Part("a", "x") + Part("f", std::string(200000, 'z'), "f.bin") + "--" + kBoundary + "--\r\n";
    const TOutcome total = Run([](IUpload2& up) { up.put_MaxTotalBytes(1000); }, body);
    EXPECT_EQ(total.save, kleMaxTotalBytes);
    EXPECT_EQ(total.bytesRead, 0);
    const TOutcome file = Run([](IUpload2& up) { up.put_MaxFileBytes(100); }, body);
    EXPECT_EQ(file.save, kleMaxFileBytes);
    EXPECT_GT(file.bytesRead, 0);
    EXPECT_LE(file.bytesRead, 8192 * 2);
    EXPECT_TRUE(file.left.empty());
}

TEST_F(UploadLimits, RequireCompleteBodyFailsABodyCutBeforeItsCloseDelimiter)
{
    const std::string cut =
        Part("a", "kept") + "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\nlo";
    const TOutcome lenient = Run([](IUpload2&) {}, cut);
    EXPECT_EQ(lenient.save, S_OK);
    EXPECT_EQ(lenient.form, 1u);

    const TOutcome strict = Run([](IUpload2& up) { up.put_RequireCompleteBody(VARIANT_TRUE); }, cut);
    EXPECT_EQ(strict.save, E_FAIL);
    EXPECT_EQ(strict.form, 0u);
    EXPECT_EQ(strict.status, Error);
    EXPECT_EQ(strict.reason, "Save: the body ended before its close delimiter, and RequireCompleteBody is set");

    const TOutcome whole = Run([](IUpload2& up) { up.put_RequireCompleteBody(VARIANT_TRUE); });
    EXPECT_EQ(whole.save, S_OK);
}

TEST_F(UploadLimits, ACancelledUploadGivesItsReason)
{
    const std::string body = Part("f", std::string(50000, 'z'), "f.bin") + "--" + kBoundary + "--\r\n";
    const WideString id = OLESTR("limits-cancelled");
    TestTempDir temp;
    {
        save_run::SaveRun run(
            save_run::MultipartPage(kBoundary, std::make_unique<host::CMemoryBodySource>(body), body.size()));
        ASSERT_EQ(run.Configure({0, ynaAuto, id}), S_OK);
        auto progress = progress_test::NewProgress(id);
        // The progress page cancels while the first chunk arrives.
        run.Page().Request().SetReadObserver([&](LONGLONG, LONG) { progress->CancelUpload(); });
        EXPECT_EQ(run.Save(temp.Wide()), S_OK);
    }
    auto progress = progress_test::NewProgress(id);
    UploadState status = Waiting;
    ASSERT_EQ(progress->get_UploadStatus(&status), S_OK);
    EXPECT_EQ(status, Cancelled);
    com::ComPtr<IProgress2> progress2;
    ASSERT_EQ(com::QueryInterfaceTo(progress.Get(), IID_IProgress2, progress2), S_OK);
    com::Bstr reason;
    ASSERT_EQ(progress2->get_StatusReason(reason.Receive()), S_OK);
    const WideString expected =
        testing_support::ToWide("Save: the upload was cancelled (Progress.CancelUpload) after 8192 of " +
                                std::to_string(body.size()) + " bytes");
    EXPECT_EQ(reason.ToWide(), expected);
    EXPECT_TRUE(temp.Files().empty());
    progress_test::Manager().Remove(id);
}

} // namespace
