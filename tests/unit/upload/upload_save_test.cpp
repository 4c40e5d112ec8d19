// Save end to end over the page host: the request checks, the boundary lookup, what each failure
// leaves behind (collections, save state, temporary files) and the page binding.

#include "com/bstr.h"
#include "com/com_object.h"
#include "server/instance_creators.h"
#include "com/variant.h"
#include "host/memory_body_source.h"
#include "host/page_host.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"
#include "tests/unit/upload/recording_updater.h"
#include "upload/process_post_query.h"
#include "upload/upload.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file_collection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using testing_support::TestTempDir;
using UploadPtr = com::ComPtr<com::ComObject<CUpload>>;

const std::string kData = KESTRUNE_TEST_DATA_DIR "/requests/upload/";

std::string Part(const std::string& name, const std::string& value, const char* filename = nullptr)
{
    std::string h = "Content-Disposition: form-data; name=\"" + name + "\"";
    if (filename)
        h += std::string("; filename=\"") + filename + "\"\r\nContent-Type: application/octet-stream";
    return h + "\r\n\r\n" + value;
}

std::string Multipart(const std::string& boundary, const std::vector<std::string>& parts)
{
    std::string body;
    for (const auto& p : parts)
        body += "--" + boundary + "\r\n" + p + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

UploadPtr MakeUpload()
{
    UploadPtr upload;
    EXPECT_EQ(com::CreateComObject(upload), S_OK);
    return upload;
}

// An Upload bound to a page over the given request.
UploadPtr BoundUpload(const com::ComPtr<host::CScriptingContext>& page)
{
    UploadPtr upload = MakeUpload();
    EXPECT_EQ(upload->OnStartPage(page.Get()), S_OK);
    return upload;
}

com::ComPtr<host::CScriptingContext> PostPage(const std::string& contentType, const std::string& body,
                                              std::vector<ULONG> pieces = {}, ULONGLONG failAt = ~0ull)
{
    auto source = std::make_unique<host::CMemoryBodySource>(body);
    if (!pieces.empty())
        source->SetPieceSizes(std::move(pieces));
    if (failAt != ~0ull)
        source->FailAt(failAt, E_ACCESSDENIED);
    return host::CreatePage(host::MakeRequestHead("POST", {{"Content-Type", contentType}}, body.size()),
                            std::move(source));
}

// A script may store any 32-bit value; C++ cannot pass one outside the enumeration without the
// undefined-behaviour check noticing, so this call is exempt from it.
__attribute__((no_sanitize("undefined"))) HRESULT PutRawDetectCharRefs(CUpload& upload, std::int32_t raw)
{
    TYesNoAuto value;
    std::memcpy(&value, &raw, sizeof raw);
    return upload.put_DetectCharRefs(value);
}

HRESULT Save(CUpload& upload, const WideString& dir)
{
    return upload.Save(com::Bstr(dir).Get());
}

// name -> value of every text field, and name -> content of every file, in Item(1..Count) order.
struct Outcome {
    std::vector<std::pair<std::string, std::string>> form;
    std::vector<std::pair<std::string, std::string>> files;
};

std::string Narrow(const WideString& w)
{
    return std::string(w.begin(), w.end());
}

Outcome Read(CUpload& upload)
{
    Outcome out;
    com::ComPtr<ITextFieldCollection> form;
    EXPECT_EQ(upload.get_Form(form.Receive()), S_OK);
    com::ComPtr<IUploadedFileCollection> files;
    EXPECT_EQ(upload.get_Files(files.Receive()), S_OK);
    if (!form || !files)
        return out;
    LONG count = 0;
    form->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        com::Variant index;
        index.Get()->vt = VT_I4;
        index.Get()->lVal = i;
        com::Variant item;
        EXPECT_EQ(form->Item(*index.Get(), item.Get()), S_OK);
        com::ComPtr<ITextField> field;
        EXPECT_EQ(com::QueryInterfaceTo(item.Get()->pdispVal, IID_ITextField, field), S_OK);
        com::Bstr name, value;
        field->get_FieldName(name.Receive());
        field->get_Value(value.Receive());
        out.form.emplace_back(Narrow(name.ToWide()), Narrow(value.ToWide()));
    }
    files->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        com::Variant index;
        index.Get()->vt = VT_I4;
        index.Get()->lVal = i;
        com::Variant item;
        EXPECT_EQ(files->Item(*index.Get(), item.Get()), S_OK);
        com::ComPtr<IUploadedFile> file;
        EXPECT_EQ(com::QueryInterfaceTo(item.Get()->pdispVal, IID_IUploadedFile, file), S_OK);
        com::Bstr name, temp;
        file->get_FieldName(name.Receive());
        file->get_TempFileName(temp.Receive());
        out.files.emplace_back(Narrow(name.ToWide()), testing_support::ReadWithPlatform(temp.ToWide()));
    }
    return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Save registers its upload through the Global Interface Table: the thread needs an apartment,
// as an ASP page's thread has.
class UploadSave : public ::testing::Test {
    progress_test::MtaScope apartment_;
};
using UploadPage = UploadSave;

TEST_F(UploadSave, ReceivesTextAndFilesAndItsTemporaryFilesGoWithTheObjects)
{
    TestTempDir dir;
    const std::string body = Multipart(
        "AaB03x", {Part("note", "hello"), Part("doc", std::string(20000, 'x') + "end", "a.bin"), Part("empty", "")});
    auto upload = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", body, {1, 7, 4093, 8191}));
    ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
    const Outcome got = Read(*upload.Get());
    EXPECT_EQ(got.form, (Pairs{{"empty", ""}, {"note", "hello"}}));
    ASSERT_EQ(got.files.size(), 1u);
    EXPECT_EQ(got.files[0].first, "doc");
    EXPECT_TRUE(got.files[0].second == std::string(20000, 'x') + "end") << got.files[0].second.size();
    EXPECT_EQ(dir.Files().size(), 1u);

    VARIANT_BOOL known = VARIANT_TRUE;
    ASSERT_EQ(upload->IsUploadInitialized(com::Bstr(OLESTR("")).Get(), &known), S_OK);
    EXPECT_EQ(known, VARIANT_FALSE);

    upload.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

TEST_F(UploadSave, RequestsWithoutABodyAreASuccessWithEmptyCollections)
{
    TestTempDir dir;
    for (auto page :
         {host::OpenCapturedPage(kData + "get_without_body.http"), PostPage("multipart/form-data; boundary=x", "")}) {
        auto upload = BoundUpload(page);
        EXPECT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
        const Outcome got = Read(*upload.Get());
        EXPECT_TRUE(got.form.empty());
        EXPECT_TRUE(got.files.empty());
        // Finished: a second Save is refused.
        EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    }
}

TEST_F(UploadSave, RejectedRequestsFailButLeaveEmptyCollectionsReadable)
{
    TestTempDir dir;
    const std::string body = Multipart("AaB03x", {Part("a", "1")});
    std::vector<com::ComPtr<host::CScriptingContext>> pages = {
        host::OpenCapturedPage(kData + "urlencoded_form.http"),
        host::CreateMemoryPage("PUT", {{"Content-Type", "multipart/form-data; boundary=AaB03x"}}, body),
        host::CreateMemoryPage("POST ", {{"Content-Type", "multipart/form-data; boundary=AaB03x"}}, body),
        host::CreateMemoryPage("POST", {{"Content-Type", " multipart/form-data; boundary=AaB03x"}}, body),
    };
    for (const auto& page : pages) {
        auto upload = BoundUpload(page);
        EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
        const Outcome got = Read(*upload.Get());
        EXPECT_TRUE(got.form.empty());
        EXPECT_TRUE(got.files.empty());
        EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    }
}

TEST_F(UploadSave, AcceptsTheMethodAndMediaTypeInAnyCase)
{
    TestTempDir dir;
    const std::string body = Multipart("AaB03x", {Part("a", "1")});
    for (const char* method : {"POST", "post", "PoSt"}) {
        auto upload = BoundUpload(
            host::CreateMemoryPage(method, {{"Content-Type", "Multipart/Form-Data; boundary=AaB03x"}}, body));
        EXPECT_EQ(Save(*upload.Get(), dir.Wide()), S_OK) << method;
        EXPECT_EQ(Read(*upload.Get()).form, (Pairs{{"a", "1"}}));
    }
}

TEST_F(UploadSave, FindsQuotedAndCapitalisedBoundaryParameters)
{
    // Each of these once ended in a success with nothing received.
    for (const char* file :
         {"quoted_boundary_from_http_client_library.http", "boundary_parameter_name_in_capitals.http",
          "mixed_case_method_and_media_type.http", "boundary_followed_by_semicolon.http"}) {
        TestTempDir dir;
        auto upload = BoundUpload(host::OpenCapturedPage(kData + file));
        ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK) << file;
        const Outcome got = Read(*upload.Get());
        EXPECT_EQ(got.form, (Pairs{{"note", "hello"}})) << file;
        EXPECT_EQ(got.files, (Pairs{{"doc", "file body\r\nline 2"}})) << file;
    }
}

TEST_F(UploadSave, AMultipartRequestWithoutABoundaryFails)
{
    TestTempDir dir;
    auto upload = BoundUpload(host::OpenCapturedPage(kData + "no_boundary_parameter.http"));
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    EXPECT_TRUE(Read(*upload.Get()).form.empty());
    EXPECT_TRUE(dir.Files().empty());
}

// The body holds parts under two boundaries: the one named inside another parameter's quoted
// value would smuggle a field past a reader that takes only the real parameter.
TEST_F(UploadSave, TakesTheBoundaryParameterNotTextInsideAQuotedValue)
{
    const std::string body = "--BBB\r\n" + Part("real", "seen by everyone\r\n--AAA\r\n" + Part("smuggled", "hidden")) +
                             "\r\n--AAA--\r\n--BBB--\r\n";
    TestTempDir dir;
    auto upload = BoundUpload(host::CreateMemoryPage(
        "POST", {{"Content-Type", "multipart/form-data; x=\"a boundary=AAA b\"; boundary=BBB"}}, body));
    ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
    const Outcome got = Read(*upload.Get());
    ASSERT_EQ(got.form.size(), 1u);
    EXPECT_EQ(got.form[0].first, "real");

    auto twice = BoundUpload(
        host::CreateMemoryPage("POST", {{"Content-Type", "multipart/form-data; boundary=AAA; boundary=BBB"}}, body));
    EXPECT_EQ(Save(*twice.Get(), dir.Wide()), E_FAIL);
    EXPECT_TRUE(Read(*twice.Get()).form.empty());
    EXPECT_TRUE(dir.Files().empty());
}

// DetectCharRefs as a page sets it: ynaNo (0) keeps references, ynaYes (1) decodes them, ynaAuto
// (2, the default) decodes them only with no code page, and keeps them under a code page.
TEST_F(UploadSave, DetectCharRefsKeepsOrDecodesAsItsValueSays)
{
    const std::string body = Multipart("AaB03x", {Part("t", "&#1046;&#1078;")});
    const std::string decoded = Narrow(WideString{OLECHAR(0x0416), OLECHAR(0x0436)}); // as Read narrows it
    const struct {
        LONG codePage;
        std::int32_t detect;
        std::string value;
    } cases[] = {{0, ynaNo, "&#1046;&#1078;"},     {0, ynaYes, decoded},     {0, ynaAuto, decoded},
                 {65001, ynaNo, "&#1046;&#1078;"}, {65001, ynaYes, decoded}, {65001, ynaAuto, "&#1046;&#1078;"}};
    for (const auto& c : cases) {
        TestTempDir dir;
        auto upload = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", body));
        ASSERT_EQ(upload->put_CodePage(c.codePage), S_OK);
        ASSERT_EQ(PutRawDetectCharRefs(*upload.Get(), c.detect), S_OK);
        ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
        EXPECT_EQ(Read(*upload.Get()).form, (Pairs{{"t", c.value}})) << c.codePage << " " << c.detect;
    }
}

TEST_F(UploadSave, KeepsEveryFieldOfARepeatedNameInPostingOrder)
{
    TestTempDir dir;
    auto upload = BoundUpload(host::OpenCapturedPage(kData + "duplicate_field_names.http"));
    ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
    const Outcome got = Read(*upload.Get());
    EXPECT_EQ(got.form, (Pairs{{"pick", "first"}, {"pick", "second"}}));
    EXPECT_EQ(got.files, (Pairs{{"pick", "as a file"}, {"up", "one"}, {"up", "two"}}));
    EXPECT_EQ(dir.Files().size(), 3u);
    upload.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

TEST_F(UploadSave, NumbersFieldsByNameIndexNotByArrival)
{
    TestTempDir dir;
    auto upload = BoundUpload(host::OpenCapturedPage(kData + "fields_f1_to_f9_posted_in_reverse.http"));
    ASSERT_EQ(Save(*upload.Get(), dir.Wide()), S_OK);
    std::vector<std::string> names;
    for (const auto& [name, value] : Read(*upload.Get()).form)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"f1", "f5", "f9", "f2", "f4", "f6", "f8", "f3", "f7"}));
}

TEST_F(UploadSave, AFailedParseEmptiesTheCollectionsAndLeavesNoTemporaryFile)
{
    TestTempDir dir;
    const std::string body =
        Multipart("AaB03x", {Part("a", "1"), Part("f", std::string(30000, 'y'), "f.bin"), Part("b", "2")});
    auto upload = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", body, {}, 20000));
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    const Outcome got = Read(*upload.Get());
    EXPECT_TRUE(got.form.empty());
    EXPECT_TRUE(got.files.empty());
    EXPECT_TRUE(dir.Files().empty());
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
}

TEST_F(UploadSave, AnEmptyTempDirServesTextFieldsButFailsOnTheFirstFile)
{
    const std::string texts = Multipart("AaB03x", {Part("a", "1"), Part("b", "2")});
    auto ok = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", texts));
    ASSERT_EQ(ok->Save(nullptr), S_OK);
    EXPECT_EQ(Read(*ok.Get()).form, (Pairs{{"a", "1"}, {"b", "2"}}));

    const std::string withFile = Multipart("AaB03x", {Part("a", "1"), Part("f", "data", "f.bin")});
    auto failed = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", withFile));
    EXPECT_EQ(failed->Save(com::Bstr(OLESTR("")).Get()), E_FAIL);
    EXPECT_TRUE(Read(*failed.Get()).form.empty());
}

TEST_F(UploadSave, SettingsAreStoredAsGivenAndAnUnknownCharRefModeFailsSave)
{
    TestTempDir dir;
    auto upload = BoundUpload(PostPage("multipart/form-data; boundary=AaB03x", Multipart("AaB03x", {Part("a", "1")})));
    LONG codePage = -1;
    TYesNoAuto mode = ynaNo;
    ASSERT_EQ(upload->get_CodePage(&codePage), S_OK);
    EXPECT_EQ(codePage, 0);
    ASSERT_EQ(upload->get_DetectCharRefs(&mode), S_OK);
    EXPECT_EQ(mode, ynaAuto);
    EXPECT_EQ(upload->put_CodePage(123456), S_OK);
    ASSERT_EQ(upload->get_CodePage(&codePage), S_OK);
    EXPECT_EQ(codePage, 123456);
    EXPECT_EQ(PutRawDetectCharRefs(*upload.Get(), 7), S_OK);
    EXPECT_EQ(upload->put_CodePage(0), S_OK);
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    EXPECT_TRUE(Read(*upload.Get()).form.empty());

    EXPECT_EQ(upload->get_CodePage(nullptr), E_INVALIDARG);
    EXPECT_EQ(upload->get_DetectCharRefs(nullptr), E_INVALIDARG);
    EXPECT_EQ(upload->get_ID(nullptr), E_INVALIDARG);
    EXPECT_EQ(upload->get_Files(nullptr), E_INVALIDARG);
    EXPECT_EQ(upload->get_Form(nullptr), E_INVALIDARG);
    EXPECT_EQ(upload->IsUploadInitialized(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(UploadSave, IdIsStoredUpToItsFirstNul)
{
    auto upload = MakeUpload();
    com::Bstr id;
    ASSERT_EQ(upload->get_ID(id.Receive()), S_OK);
    ASSERT_NE(id.Get(), nullptr);
    EXPECT_EQ(id.Length(), 0u);
    ASSERT_EQ(upload->put_ID(com::Bstr(WideString(OLESTR("ab\0cd"), 5)).Get()), S_OK);
    ASSERT_EQ(upload->get_ID(id.Receive()), S_OK);
    EXPECT_EQ(id.ToWide(), OLESTR("ab"));
    ASSERT_EQ(upload->put_ID(nullptr), S_OK);
    ASSERT_EQ(upload->get_ID(id.Receive()), S_OK);
    EXPECT_EQ(id.Length(), 0u);
}

TEST_F(UploadPage, CollectionsAreUnavailableBeforeSaveAndSaveNeedsAPage)
{
    TestTempDir dir;
    auto upload = MakeUpload();
    com::ComPtr<IUploadedFileCollection> files;
    EXPECT_EQ(upload->get_Files(files.Receive()), E_FAIL);
    com::ComPtr<ITextFieldCollection> form;
    EXPECT_EQ(upload->get_Form(form.Receive()), E_FAIL);
    EXPECT_EQ(form.Get(), nullptr);

    // Unbound: the request check fails, but the collections exist from then on.
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
    EXPECT_EQ(upload->get_Files(files.Receive()), S_OK);
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
}

TEST_F(UploadPage, BindingAndUnbinding)
{
    TestTempDir dir;
    auto upload = MakeUpload();
    EXPECT_EQ(upload->OnEndPage(), S_OK);
    EXPECT_EQ(upload->OnStartPage(nullptr), E_POINTER);
    // Something that is no scripting context.
    auto notAContext = MakeUpload();
    EXPECT_EQ(upload->OnStartPage(static_cast<IUpload*>(notAContext.Get())), E_FAIL);

    auto page = PostPage("multipart/form-data; boundary=AaB03x", Multipart("AaB03x", {Part("a", "1")}));
    ASSERT_EQ(upload->OnStartPage(page.Get()), S_OK);
    EXPECT_EQ(upload->OnEndPage(), S_OK);
    EXPECT_EQ(upload->OnEndPage(), S_OK);
    // The page objects are gone: Save cannot read the request.
    EXPECT_EQ(Save(*upload.Get(), dir.Wide()), E_FAIL);
}

TEST_F(UploadPage, ClassObjectCreatesPlainAndAggregatedObjects)
{
    com::ComPtr<IUpload> plain;
    ASSERT_EQ(com::CreateUploadInstance(nullptr, IID_IUpload, plain.ReceiveVoid()), S_OK);
    com::ComPtr<ISupportErrorInfo> info;
    ASSERT_EQ(com::QueryInterfaceTo(plain.Get(), IID_ISupportErrorInfo, info), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IUpload), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IProgress), S_FALSE);

    // An outer object that hands every query to the inner one it aggregates.
    struct Outer : IUnknown {
        IUnknown* inner = nullptr;
        LONG refs = 1;
        STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
        {
            if (com::SameGuid(iid, IID_IUnknown)) {
                *ppv = this;
                AddRef();
                return S_OK;
            }
            return inner->QueryInterface(iid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
    } outer;
    void* bad = &outer;
    EXPECT_EQ(com::CreateUploadInstance(&outer, IID_IUpload, &bad), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(bad, nullptr);
    ASSERT_EQ(com::CreateUploadInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    com::ComPtr<IUpload> viaOuter;
    ASSERT_EQ(com::QueryInterfaceTo(static_cast<IUnknown*>(&outer), IID_IUpload, viaOuter), S_OK);
    // The aggregated object's IUnknown is the outer one.
    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(com::QueryInterfaceTo(viaOuter.Get(), IID_IUnknown, identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    LONG codePage = -1;
    EXPECT_EQ(viaOuter->get_CodePage(&codePage), S_OK);
    viaOuter.Reset();
    identity.Reset();
    outer.inner->Release();
}

// The reference count of an object, read through AddRef and Release.
ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

TEST(ProcessPostQueryTest, ACancelLeavesAsTheUploadsOwnCancellationAndGivesTheRequestBack)
{
    TestTempDir dir;
    const std::string body = Multipart("AaB03x", {Part("f", std::string(40000, 'z'), "f.bin")});
    auto page = PostPage("multipart/form-data; boundary=AaB03x", body);
    com::ComPtr<com::ComObject<CUploadedFileCollection>> files;
    com::ComPtr<com::ComObject<CTextFieldCollection>> texts;
    ASSERT_EQ(com::CreateComObject(files), S_OK);
    ASSERT_EQ(com::CreateComObject(texts), S_OK);
    testing_support::RecordingUpdater updater;
    updater.cancelAfterBytes = 10000;
    TParserOptions options;
    options.boundary = "AaB03x";
    options.tempDir = dir.Wide();
    com::ComPtr<IRequest> request;
    ASSERT_EQ(page->get_Request(request.Receive()), S_OK);
    const ULONG before = References(request.Get());
    EXPECT_THROW(ProcessPostQuery(options, request, &updater, files.Get(), texts.Get()), EUserCancelledUpload);
    EXPECT_EQ(References(request.Get()), before) << "the reference it was given is released, no other";
    EXPECT_EQ(updater.bytes, 16384);
    EXPECT_TRUE(dir.Files().empty());
}

TEST_F(UploadSave, GivesBackTheRequestReferenceOfTheReadWhateverTheOutcome)
{
    TestTempDir dir;
    const std::string body = Multipart("AaB03x", {Part("t", "text"), Part("f", std::string(20000, 'z'), "f.bin")});
    // A whole body, one whose read fails in the middle, one over a limit.
    for (const ULONGLONG failAt : {ULONGLONG{~0ull}, ULONGLONG{9000}}) {
        for (const LONG maxFileBytes : {0L, 100L}) {
            auto page = PostPage("multipart/form-data; boundary=AaB03x", body, {}, failAt);
            com::ComPtr<IRequest> request;
            ASSERT_EQ(page->get_Request(request.Receive()), S_OK);
            UploadPtr upload = BoundUpload(page);
            ASSERT_EQ(upload->put_MaxFileBytes(maxFileBytes), S_OK);
            const ULONG before = References(request.Get());
            const HRESULT saved = Save(*upload, dir.Wide());
            EXPECT_EQ(SUCCEEDED(saved), failAt == ~0ull && maxFileBytes == 0) << std::hex << saved;
            EXPECT_EQ(References(request.Get()), before) << "fail at " << failAt << ", limit " << maxFileBytes;
        }
    }
    EXPECT_TRUE(dir.Files().empty());
}

} // namespace
