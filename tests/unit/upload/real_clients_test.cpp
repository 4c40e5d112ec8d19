// Requests captured from real HTTP clients, each told to post the same form (see
// tests/capture/capture_clients.sh): Save must hand back exactly what the client was given.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "host/page_host.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/progress/progress_test_support.h"
#include "upload/upload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

const std::string kClients = KESTRUNE_TEST_DATA_DIR "/requests/clients/";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

com::ComPtr<IDispatch> Item(IDispatch* collection, const WideString& name)
{
    com::Variant key;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = com::Bstr(name).Detach();
    com::Variant item;
    com::ComPtr<ITextFieldCollection> form;
    com::ComPtr<IUploadedFileCollection> files;
    if (SUCCEEDED(com::QueryInterfaceTo(collection, IID_ITextFieldCollection, form))) {
        EXPECT_EQ(form->Item(*key.Get(), item.Get()), S_OK);
    } else if (SUCCEEDED(com::QueryInterfaceTo(collection, IID_IUploadedFileCollection, files))) {
        EXPECT_EQ(files->Item(*key.Get(), item.Get()), S_OK);
    } else {
        ADD_FAILURE() << "neither a field collection nor a file collection";
    }
    if (item.Type() != VT_DISPATCH)
        return {};
    return com::ComPtr<IDispatch>(item.Get()->pdispVal);
}

WideString TextValue(ITextFieldCollection* form, const WideString& name)
{
    com::ComPtr<ITextField> field;
    if (FAILED(com::QueryInterfaceTo(Item(form, name).Get(), IID_ITextField, field)))
        return OLESTR("<missing>");
    com::Bstr value;
    field->get_Value(value.Receive());
    return WideString(value.Get() ? value.Get() : OLESTR(""), value.Length());
}

struct TFile {
    std::string content;
    WideString clientPath;
    WideString contentType;
};

TFile FileValue(IUploadedFileCollection* files, const WideString& name)
{
    com::ComPtr<IUploadedFile> file;
    if (FAILED(com::QueryInterfaceTo(Item(files, name).Get(), IID_IUploadedFile, file)))
        return {"<missing>", {}, {}};
    com::Bstr temp, path, type;
    file->get_TempFileName(temp.Receive());
    file->get_ClientFilePath(path.Receive());
    file->get_ContentType(type.Receive());
    return {testing_support::ReadWithPlatform(temp.ToWide()), path.ToWide(), type.ToWide()};
}

class RealClient : public ::testing::TestWithParam<const char*> {
    progress_test::MtaScope apartment_; // Save needs one, as on a page's thread
};

TEST_P(RealClient, DeliversWhatTheClientWasToldToSend)
{
    testing_support::TestTempDir dir;
    com::ComPtr<com::ComObject<CUpload>> upload;
    ASSERT_EQ(com::CreateComObject(upload), S_OK);
    ASSERT_EQ(upload->OnStartPage(host::OpenCapturedPage(kClients + GetParam() + ".http").Get()), S_OK);
    ASSERT_EQ(upload->Save(com::Bstr(dir.Wide()).Get()), S_OK);

    com::ComPtr<ITextFieldCollection> form;
    com::ComPtr<IUploadedFileCollection> files;
    ASSERT_EQ(upload->get_Form(form.Receive()), S_OK);
    ASSERT_EQ(upload->get_Files(files.Receive()), S_OK);
    LONG count = 0;
    form->get_Count(&count);
    EXPECT_EQ(count, 2);
    files->get_Count(&count);
    EXPECT_EQ(count, 2);

    // "Café – 履歴書", sent as UTF-8 and decoded without a code page being set.
    const std::u16string sent = u"Caf\u00E9 \u2013 \u5C65\u6B74\u66F8";
    const WideString title(sent.begin(), sent.end());
    EXPECT_TRUE(TextValue(form.Get(), OLESTR("title")) == title);
    EXPECT_TRUE(TextValue(form.Get(), OLESTR("comment")) == OLESTR("two\r\nlines"));

    const TFile notes = FileValue(files.Get(), OLESTR("notes"));
    EXPECT_EQ(notes.content, ReadFile(kClients + "notes.txt"));
    EXPECT_TRUE(notes.clientPath == OLESTR("notes.txt"));
    EXPECT_TRUE(notes.contentType == OLESTR("text/plain"));
    const TFile blob = FileValue(files.Get(), OLESTR("blob"));
    EXPECT_TRUE(blob.content == ReadFile(kClients + "blob.bin")) << blob.content.size();
    EXPECT_TRUE(blob.clientPath == OLESTR("blob.bin"));

    upload.Reset();
    form.Reset();
    files.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

INSTANTIATE_TEST_SUITE_P(Captures, RealClient,
                         ::testing::Values("chromium_form", "curl_form", "python_requests", "node_fetch_formdata"));

} // namespace
