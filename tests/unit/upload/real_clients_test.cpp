// Requests captured from real HTTP clients, each told to post the same form (see
// tests/capture/capture_clients.sh): Save must hand back exactly what the client was given.

#include "frame/bstr.h"
#include "frame/com_object.h"
#include "frame/variant.h"
#include "host/page_host.h"
#include "tests/unit/objects/test_temp_dir.h"
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

frame::ComPtr<IDispatch> Item(IDispatch* collection, const WideString& name)
{
    frame::Variant key;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = frame::Bstr(name).Detach();
    frame::Variant item;
    frame::ComPtr<ITextFieldCollection> form;
    frame::ComPtr<IUploadedFileCollection> files;
    if (SUCCEEDED(frame::QueryInterfaceTo(collection, IID_ITextFieldCollection, form))) {
        EXPECT_EQ(form->Item(*key.Get(), item.Get()), S_OK);
    } else if (SUCCEEDED(frame::QueryInterfaceTo(collection, IID_IUploadedFileCollection, files))) {
        EXPECT_EQ(files->Item(*key.Get(), item.Get()), S_OK);
    } else {
        ADD_FAILURE() << "neither a field collection nor a file collection";
    }
    if (item.Type() != VT_DISPATCH)
        return {};
    return frame::ComPtr<IDispatch>(item.Get()->pdispVal);
}

WideString TextValue(ITextFieldCollection* form, const WideString& name)
{
    frame::ComPtr<ITextField> field;
    if (FAILED(frame::QueryInterfaceTo(Item(form, name).Get(), IID_ITextField, field)))
        return OLESTR("<missing>");
    frame::Bstr value;
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
    frame::ComPtr<IUploadedFile> file;
    if (FAILED(frame::QueryInterfaceTo(Item(files, name).Get(), IID_IUploadedFile, file)))
        return {"<missing>", {}, {}};
    frame::Bstr temp, path, type;
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
    frame::ComPtr<frame::ComObject<CUpload>> upload;
    ASSERT_EQ(frame::CreateComObject(upload), S_OK);
    ASSERT_EQ(upload->OnStartPage(host::OpenCapturedPage(kClients + GetParam() + ".http").Get()), S_OK);
    ASSERT_EQ(upload->Save(frame::Bstr(dir.Wide()).Get()), S_OK);

    frame::ComPtr<ITextFieldCollection> form;
    frame::ComPtr<IUploadedFileCollection> files;
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
