// What a failure leaves besides its HRESULT: no stale error object on the thread (scripts would see
// its description), and one line naming the cause on the debugger's output.
#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "host/memory_body_source.h"
#include "host/page_host.h"
#include "results/text_field.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/platform/test_objects.h"
#include "tests/unit/progress/progress_test_support.h"
#include "progress/upload_manager.h"
#include "upload/upload.h"

#ifndef _WIN32
#include "platform/posix/debug_output.h"
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

using testing_support::TestTempDir;
using UploadPtr = com::ComPtr<com::ComObject<CUpload>>;

UploadPtr Bound(const com::ComPtr<host::CScriptingContext>& page)
{
    UploadPtr upload;
    EXPECT_EQ(com::CreateComObject(upload), S_OK);
    if (page) {
        EXPECT_EQ(upload->OnStartPage(page.Get()), S_OK);
    }
    return upload;
}

HRESULT Save(CUpload& upload, const WideString& dir)
{
    return upload.Save(com::Bstr(dir).Get());
}

class FailureReport : public ::testing::Test {
protected:
    progress_test::MtaScope apartment_;
};

// The thread's error object after a call: its source and description; "stale" when it is the one
// another component left before the call, "none" when there is none.
struct TErrorSeen {
    std::string source;
    std::string description;
};

std::string Narrow(BSTR text)
{
    std::string out;
    for (UINT i = 0; text && i < ::SysStringLen(text); ++i)
        out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return out;
}

// Leaves a stale error object on the thread, runs call, and tells what error object is there then.
struct StaleErrorInfoProbe {
    platform_test::CountedErrorInfo stale{OLESTR("left by another component")};

    TErrorSeen After(const std::function<HRESULT()>& call, HRESULT expected)
    {
        EXPECT_EQ(::SetErrorInfo(0, &stale), S_OK);
        EXPECT_EQ(call(), expected);
        com::ComPtr<IErrorInfo> info;
        if (::GetErrorInfo(0, info.Receive()) != S_OK || !info)
            return {"none", ""};
        if (info.Get() == &stale)
            return {"stale", ""};
        com::Bstr source, description;
        EXPECT_EQ(info->GetSource(source.Receive()), S_OK);
        EXPECT_EQ(info->GetDescription(description.Receive()), S_OK);
        EXPECT_EQ(stale.References(), 1u);
        return {Narrow(source.Get()), Narrow(description.Get())};
    }
};

// Every failure a script can meet leaves an error object of the object that failed: its ProgID as
// the source (Err.Source) and what happened as the description (Err.Description), never one an
// earlier, unrelated call left.
TEST_F(FailureReport, EveryFailingMemberLeavesAnErrorObjectThatSaysWhatHappened)
{
    TestTempDir dir;
    StaleErrorInfoProbe probe;
    const auto expect = [&](const std::function<HRESULT()>& call, HRESULT hr, const std::string& source,
                            const std::string& description) {
        const TErrorSeen seen = probe.After(call, hr);
        EXPECT_EQ(seen.source, source) << description;
        EXPECT_EQ(seen.description, description);
    };
    auto upload = Bound({});
    com::ComPtr<IUploadedFileCollection> files;
    expect([&] { return upload->get_Files(files.Receive()); }, E_FAIL, "Kestrune.Upload",
           "Files: there are no files before Save has run");
    expect([&] { return upload->get_CodePage(nullptr); }, E_INVALIDARG, "Kestrune.Upload",
           "An argument of the call is not valid.");
    expect([&] { return upload->put_MaxFiles(-1); }, E_INVALIDARG, "Kestrune.Upload",
           "MaxFiles: -1 is not a limit; give a number of 1 or more, or 0 for none");
    expect([&] { return Save(*upload.Get(), dir.Wide()); }, E_FAIL, "Kestrune.Upload",
           "Save: no Request object (OnStartPage was not called, or OnEndPage already was)");
    expect([&] { return Save(*upload.Get(), dir.Wide()); }, E_FAIL, "Kestrune.Upload",
           "Save: this object has already run Save, which runs once");
    // A call that succeeds leaves the thread's error object alone.
    EXPECT_EQ(probe.After([&] { return upload->put_CodePage(65001); }, S_OK).source, "stale");

    ASSERT_EQ(upload->get_Files(files.Receive()), S_OK);
    com::Variant index;
    index.Get()->vt = VT_I4;
    index.Get()->lVal = 3;
    com::Variant item;
    expect([&] { return files->Item(*index.Get(), item.Get()); }, E_INVALIDARG, "Kestrune.UploadedFileCollection",
           "Item: there is no item 3 in a collection of 0 items");
    index.Get()->vt = VT_R8;
    index.Get()->dblVal = 1.0;
    expect([&] { return files->Item(*index.Get(), item.Get()); }, E_INVALIDARG, "Kestrune.UploadedFileCollection",
           "Item: the index must be a whole number from 1 or a field name");

    auto progress = progress_test::NewProgress(WideString());
    LONG n = 0;
    expect([&] { return progress->get_TotalBytes(&n); }, E_FAIL, "Kestrune.Progress",
           "Progress: no ID has been set, so there is no upload to follow");
    expect([&] { return progress->CancelUpload(); }, E_FAIL, "Kestrune.Progress",
           "CancelUpload: no ID has been set, so there is no upload to follow");
    ASSERT_EQ(progress->put_ID(com::Bstr(OLESTR("nobody")).Get()), S_OK);
    expect([&] { return progress->CancelUpload(); }, E_FAIL, "Kestrune.Progress",
           "CancelUpload: no upload is registered under the ID \"nobody\" (it has not started, or it ended more "
           "than 10 minutes ago)");

    com::ComPtr<com::ComObject<CTextField>> field;
    ASSERT_EQ(com::CreateComObject(field), S_OK);
    field->Init({}, {}, com::Bstr(OLESTR("n")));
    expect([&] { return field->get_Value(nullptr); }, E_INVALIDARG, "Kestrune.TextField",
           "An argument of the call is not valid.");
}

#ifndef _WIN32
const std::string kBody = "--AaB03x\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
                          "--AaB03x\r\nContent-Disposition: form-data; name=\"f\"; filename=\"f.bin\"\r\n\r\n" +
                          std::string(20000, 'y') + "\r\n--AaB03x--\r\n";

com::ComPtr<host::CScriptingContext> Page(const std::string& method, const std::string& contentType,
                                          const std::string& body, ULONGLONG failAt = ~0ull)
{
    auto source = std::make_unique<host::CMemoryBodySource>(body);
    if (failAt != ~0ull)
        source->FailAt(failAt, E_ACCESSDENIED);
    return host::CreatePage(host::MakeRequestHead(method, {{"Content-Type", contentType}}, body.size()),
                            std::move(source));
}

// Every line sent to the debugger's output while it lives, as narrow text.
class CapturedReasons {
public:
    CapturedReasons()
    {
        platform::SetDebugOutputHook([this](const WCHAR* text) {
            std::string line;
            for (; *text; ++text)
                line.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
            std::lock_guard<std::mutex> hold(lock_);
            lines_.push_back(line);
        });
    }
    ~CapturedReasons() { platform::SetDebugOutputHook(nullptr); }

    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return std::exchange(lines_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

// A script may store any 32-bit value; C++ cannot pass one outside the enumeration without the
// undefined-behaviour check noticing, so this call is exempt from it.
__attribute__((no_sanitize("undefined"))) HRESULT PutRawDetectCharRefs(CUpload& upload, std::int32_t raw)
{
    TYesNoAuto value;
    std::memcpy(&value, &raw, sizeof raw);
    return upload.put_DetectCharRefs(value);
}

std::vector<std::string> One(const std::string& reason)
{
    return {"Kestrune: " + reason + "\n"};
}

TEST_F(FailureReport, EachSaveFailureNamesItsCauseInOneLine)
{
    TestTempDir dir;
    CapturedReasons reasons;
    const std::string multipart = "multipart/form-data; boundary=AaB03x";

    auto rejected = Bound(Page("POST", "application/x-www-form-urlencoded", "a=1"));
    EXPECT_EQ(Save(*rejected.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(),
              One("Save: the request is not multipart/form-data (Content-Type \"application/x-www-form-urlencoded\")"));
    EXPECT_EQ(Save(*rejected.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: this object has already run Save, which runs once"));

    auto get = Bound(Page("GET", multipart, kBody));
    EXPECT_EQ(Save(*get.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: the request method is \"GET\", not POST"));

    auto unbound = Bound({});
    EXPECT_EQ(Save(*unbound.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: no Request object (OnStartPage was not called, or OnEndPage already was)"));

    auto noBoundary = Bound(Page("POST", "multipart/form-data", kBody));
    EXPECT_EQ(Save(*noBoundary.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: the Content-Type has no usable boundary parameter (none, an empty one, two, "
                                  "or a quoted value left open)"));

    auto badMode = Bound(Page("POST", multipart, kBody));
    ASSERT_EQ(PutRawDetectCharRefs(*badMode.Get(), 7), S_OK);
    EXPECT_EQ(Save(*badMode.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: DetectCharRefs is 7; it must be 0 (no), 1 (yes) or 2 (auto)"));

    auto readFails = Bound(Page("POST", multipart, kBody, 9000));
    EXPECT_EQ(Save(*readFails.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: Request.BinaryRead failed (0x80070005)"));

    auto noTempDir = Bound(Page("POST", multipart, kBody));
    EXPECT_EQ(Save(*noTempDir.Get(), WideString()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("temporary file: no directory given (Save's TempDir is empty)"));

    auto missingDir = Bound(Page("POST", multipart, kBody));
    EXPECT_EQ(Save(*missingDir.Get(), dir.Wide("missing")), E_FAIL);
    const auto lines = reasons.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Kestrune: temporary file: CreateFileW of \"")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("\" failed with Win32 error 3\n")) << lines[0];

    EXPECT_TRUE(dir.Files().empty());
}

TEST_F(FailureReport, ATakenIdIsNamedAndASuccessSaysNothing)
{
    TestTempDir dir;
    CapturedReasons reasons;
    const std::string multipart = "multipart/form-data; boundary=AaB03x";
    auto first = Bound(Page("POST", multipart, kBody));
    ASSERT_EQ(first->put_ID(com::Bstr(OLESTR("reason-taken-id")).Get()), S_OK);
    EXPECT_EQ(Save(*first.Get(), dir.Wide()), S_OK);
    auto empty = Bound(Page("POST", multipart, ""));
    EXPECT_EQ(Save(*empty.Get(), dir.Wide()), S_OK);
    EXPECT_TRUE(reasons.Take().empty());

    auto second = Bound(Page("POST", multipart, kBody));
    ASSERT_EQ(second->put_ID(com::Bstr(OLESTR("reason-taken-id")).Get()), S_OK);
    EXPECT_EQ(Save(*second.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: the upload ID \"reason-taken-id\" is already registered (an upload under it "
                                  "runs, or ended less than 10 minutes ago)"));
}

// The registry of uploads is bounded: an ID too long for it is an invalid argument, and a registry
// full of running uploads refuses one more before a byte of its body is read.
TEST_F(FailureReport, TheUploadRegistryRefusesLongIdsAndASaveThatFindsItFull)
{
    TestTempDir dir;
    CapturedReasons reasons;
    const std::string multipart = "multipart/form-data; boundary=AaB03x";

    auto longId = Bound(Page("POST", multipart, kBody));
    const WideString tooLong(CUploadManager::MaxIdLength + 1, OLECHAR('i'));
    ASSERT_EQ(longId->put_ID(com::Bstr(tooLong).Get()), S_OK);
    EXPECT_EQ(Save(*longId.Get(), dir.Wide()), E_INVALIDARG);
    EXPECT_EQ(reasons.Take(), One("Save: the upload ID is 1025 characters long; at most 1024 are allowed"));
    VARIANT_BOOL known = VARIANT_TRUE;
    ASSERT_EQ(longId->IsUploadInitialized(com::Bstr(tooLong).Get(), &known), S_OK);
    EXPECT_EQ(known, VARIANT_FALSE);
    com::ComPtr<ITextFieldCollection> form;
    ASSERT_EQ(longId->get_Form(form.Receive()), S_OK);
    LONG count = -1;
    ASSERT_EQ(form->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);

    // Fill the registry with running uploads.
    auto stats = progress_test::NewStatistics();
    com::ComPtr<IUploadMetadata> metadata;
    ASSERT_EQ(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata, metadata), S_OK);
    std::vector<WideString> running;
    for (std::size_t i = 0; i < CUploadManager::MaxEntries; ++i) {
        WideString id = testing_support::ToWide("running-" + std::to_string(i));
        IUploadMetadata* raw = metadata.Get();
        progress_test::Manager().Register(id, raw);
        running.push_back(id);
    }
    (void)reasons.Take();
    LONGLONG bytesRead = 0;
    auto page = Page("POST", multipart, kBody);
    page->Request().SetReadObserver([&](LONGLONG, LONG got) { bytesRead += got; });
    auto full = Bound(page);
    EXPECT_EQ(Save(*full.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(reasons.Take(), One("Save: the upload registry is full: 10000 uploads are running in this process"));
    EXPECT_EQ(bytesRead, 0);
    for (const WideString& id : running)
        progress_test::Manager().Remove(id);
    EXPECT_TRUE(dir.Files().empty());
}

TEST_F(FailureReport, AFailedSaveAsNamesTheWin32Error)
{
    TestTempDir dir;
    CapturedReasons reasons;
    auto upload = Bound(Page("POST", "multipart/form-data; boundary=AaB03x", kBody));
    ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
    com::ComPtr<IUploadedFileCollection> files;
    ASSERT_EQ(upload->get_Files(files.Receive()), S_OK);
    com::Variant index;
    index.Get()->vt = VT_I4;
    index.Get()->lVal = 1;
    com::Variant item;
    ASSERT_EQ(files->Item(*index.Get(), item.Get()), S_OK);
    com::ComPtr<IUploadedFile> file;
    ASSERT_EQ(com::QueryInterfaceTo(item.Get()->pdispVal, IID_IUploadedFile, file), S_OK);

    const WideString taken = dir.Write("taken.bin", "already here");
    EXPECT_EQ(file->SaveAs(com::Bstr(taken).Get(), VARIANT_FALSE), E_FAIL);
    const auto lines = reasons.Take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Kestrune: MoveFileExW from \"")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("taken.bin\" failed with Win32 error 183\n")) << lines[0];

    // A value from the request is quoted on one line, cut, whatever it holds.
    auto odd = Bound(Page("POST", "text/plain\t" + std::string(400, 'z'), "x"));
    EXPECT_EQ(Save(*odd.Get(), dir.Wide()), E_FAIL);
    const auto cut = reasons.Take();
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0], "Kestrune: Save: the request is not multipart/form-data (Content-Type \"text/plain?" +
                          std::string(289, 'z') + "\"...)\n");

    item.Clear();
    file.Reset();
    files.Reset();
    upload.Reset();
    ASSERT_EQ(::DeleteFileW(taken.c_str()), TRUE);
    EXPECT_TRUE(dir.Files().empty());
}
#endif

} // namespace
